#include "notify/RconSender.h"

namespace quorvane {
namespace {

class External final : public RconSender {
  public:
    explicit External(platform::ClientEnv& env) : env_(env) {}

    platform::ClientExit Send(const RconJob& job, const RconTarget& target,
                              const std::string& text) override {
        return env_.RunClient(ClientArguments(job.ClientPath, target, text), job.Deadline);
    }
    void EndAll() override { env_.EndClients(); }

  private:
    platform::ClientEnv& env_;
};

}  // namespace

std::unique_ptr<RconSender> ExternalSender(platform::ClientEnv& env) {
    return std::make_unique<External>(env);
}

}  // namespace quorvane
