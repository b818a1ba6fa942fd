#include "SendTest.h"

#include <mutex>
#include <thread>

#include <spdlog/sinks/base_sink.h>

#include "Host/GameThread.h"
#include "Host/Runtime.h"
#include "Logger/Logger.h"
#include "Requests.h"
#include "notify/DiscordNotifier.h"
#include "notify/RconFanout.h"
#include "notify/RconReport.h"
#include "platform/Platform.h"

namespace quorvane::admin {
namespace {

// The host's last warning: why a post failed, in its words.
class LastWarning final : public spdlog::sinks::base_sink<std::mutex> {
  public:
    std::string Text() {
        std::lock_guard lock(mutex_);
        return text_;
    }

  protected:
    void sink_it_(const spdlog::details::log_msg& message) override {
        if (message.level == spdlog::level::warn) {
            text_.assign(message.payload.data(), message.payload.size());
        }
    }
    void flush_() override {}

  private:
    std::string text_;
};

// The bundled client's exit codes, which the others mostly share in spirit.
std::string Outcome(const platform::ClientExit& exit, std::chrono::milliseconds deadline) {
    if (exit.kind == platform::ClientExit::Kind::Exited) {
        switch (exit.code) {
            case 0:
                return "delivered";
            case 3:
                return "refused (exit code 3: no connection)";
            case 4:
                return "wrong password (exit code 4)";
            case 5:
                return "timed out (exit code 5: no answer in the client's time)";
            default:
                break;
        }
    }
    if (exit.kind == platform::ClientExit::Kind::TimedOut) {
        return "timed out (" + FailureReason(exit, deadline) + ")";
    }
    return FailureReason(exit, deadline);
}

}  // namespace

int SendReport::ExitCode() const {
    for (const auto& server : servers) {
        if (!server.delivered) {
            return 1;
        }
    }
    return webhookSet && !webhookDelivered ? 1 : 0;
}

SendReport SendTest(const Settings& s, const std::string& text) {
    SendReport report;
    const auto job = MakeRconJob(s, "test", text, text);
    report.servers.resize(job.Targets.size());
    std::vector<std::thread> clients;
    for (std::size_t i = 0; i < job.Targets.size(); ++i) {
        clients.emplace_back([&, i] {
            const auto& target = job.Targets[i];
            const auto exit = platform::RunClient(
                ClientArguments(job.ClientPath, target, job.BroadcastText), job.Deadline);
            report.servers[i] = {target.ServerKey,
                                 target.RconIP + ":" + std::to_string(target.RconPort),
                                 exit.kind == platform::ClientExit::Kind::Exited && exit.code == 0,
                                 Outcome(exit, job.Deadline)};
        });
    }
    for (auto& client : clients) {
        client.join();
    }

    report.webhookSet = !s.DiscordWebhook.empty();
    if (!report.webhookSet) {
        report.webhook = "none (no DiscordWebhook)";
        return report;
    }
    auto warnings = std::make_shared<LastWarning>();
    asahost::Log().sinks().push_back(warnings);
    bool done = false;
    bool success = false;
    const std::function<void(bool, std::string, std::unordered_map<std::string, std::string>)>
        completion = [&](bool ok, std::string, std::unordered_map<std::string, std::string>) {
            done = true;
            success = ok;
        };
    const auto body = DiscordNotifier::Body(text, "Quorvane test", s.DiscordWebhookColor);
    if (!API::Requests::Get().CreatePostRequest(s.DiscordWebhook, completion, body,
                                                "application/json",
                                                {"Content-Type: application/json"})) {
        report.webhook = "not sent: " + warnings->Text();
        return report;
    }
    // The completion comes on this thread, the game thread of the host as the tool runs it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(40);
    while (!done && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        asahost::GameTick();
    }
    report.webhookDelivered = done && success;
    report.webhook = !done     ? "no answer within 40 s"
                     : success ? "delivered"
                               : "refused: " + warnings->Text();
    return report;
}

std::string ToText(const SendReport& report) {
    std::string out;
    std::size_t width = 0;
    for (const auto& server : report.servers) {
        width = std::max(width, server.server.size() + server.address.size() + 3);
    }
    for (const auto& server : report.servers) {
        std::string name = server.server + " (" + server.address + ")";
        name.resize(width, ' ');
        out += name + "  " + server.outcome + "\n";
    }
    out += "webhook: " + report.webhook + "\n";
    return out;
}

nlohmann::json ToJson(const SendReport& report) {
    nlohmann::json out = {{"servers", nlohmann::json::array()},
                          {"webhook", report.webhook},
                          {"exit", report.ExitCode()}};
    for (const auto& server : report.servers) {
        out["servers"].push_back({{"server", server.server},
                                  {"address", server.address},
                                  {"delivered", server.delivered},
                                  {"outcome", server.outcome}});
    }
    return out;
}

}  // namespace quorvane::admin
