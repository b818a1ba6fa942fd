#pragma once
// One way to send one RCON message: the external client (a process) or the built-in client (a
// socket). The delivery's queue, deadlines, reports and history know only this.

#include <memory>
#include <string>

#include "notify/RconJob.h"
#include "platform/ClientEnv.h"

namespace quorvane {

class RconSender {
  public:
    virtual ~RconSender() = default;
    // Sends `text` to `target` within the job's deadline and says how that ended. Called from
    // several threads at once.
    virtual platform::ClientExit Send(const RconJob& job, const RconTarget& target,
                                      const std::string& text) = 0;
    // The same, and the server's whole answer when it was delivered; the external client's
    // answer is not read, so it stays empty.
    virtual platform::ClientExit SendForAnswer(const RconJob& job, const RconTarget& target,
                                               const std::string& text, std::string& answer) {
        answer.clear();
        return Send(job, target, text);
    }
    // Ends every send under way at once; from now on none starts (Ended).
    virtual void EndAll() = 0;
};

// The job's client program, run through `env`, which must outlive it.
std::unique_ptr<RconSender> ExternalSender(platform::ClientEnv& env);
// The plugin's own Source RCON client (BuiltinSender.h).
std::unique_ptr<RconSender> BuiltinSender();

}  // namespace quorvane
