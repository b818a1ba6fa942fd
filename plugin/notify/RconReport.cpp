#include "notify/RconReport.h"

#include <algorithm>
#include <sstream>

namespace quorvane {
namespace {

// Deliveries to one server: the same section, address and port.
bool SameServer(const RconTarget& a, const RconTarget& b) {
    return a.ServerKey == b.ServerKey && a.RconIP == b.RconIP && a.RconPort == b.RconPort;
}

std::string Messages(const std::vector<const RconDelivery*>& deliveries, const RconJob& job) {
    std::string text;
    for (const auto* delivery : deliveries) {
        text += (text.empty() ? "" : " and ");
        text += delivery->EventCommand ? (job.End ? "end command" : "event command")
                : job.Warning          ? "warning"
                : job.End              ? "end broadcast"
                                       : "broadcast";
    }
    return text;
}

std::string Server(const RconTarget& target) {
    return target.ServerKey + " (" + target.RconIP + ":" + std::to_string(target.RconPort) + ")";
}

}  // namespace

std::string SecondsText(std::chrono::milliseconds duration) {
    std::ostringstream text;
    text << static_cast<double>(duration.count()) / 1000.0;
    return text.str();
}

std::string FailureReason(const platform::ClientExit& exit, std::chrono::milliseconds deadline) {
    using Kind = platform::ClientExit::Kind;
    switch (exit.kind) {
        case Kind::Exited:
            return exit.code == 0 ? std::string() : "exit code " + std::to_string(exit.code);
        case Kind::Signalled:
            return "ended by signal " + std::to_string(exit.code);
        case Kind::NotStarted:
        case Kind::Failed:
            return exit.reason;
        case Kind::TimedOut:
            return "ended after " + SecondsText(deadline) + " s";
        case Kind::Error:
            return "error: " + exit.reason;
        case Kind::Ended:
            return "cut off by unloading";
    }
    return {};
}

std::vector<RconReportLine> ReportDeliveries(const RconJob& job,
                                             const std::vector<RconDelivery>& deliveries) {
    std::vector<RconReportLine> lines;
    std::vector<bool> grouped(deliveries.size(), false);
    for (std::size_t i = 0; i < deliveries.size(); ++i) {
        if (grouped[i]) {
            continue;
        }
        std::vector<const RconDelivery*> failed;
        std::vector<std::string> reasons;
        std::vector<const RconDelivery*> delivered;
        for (std::size_t k = i; k < deliveries.size(); ++k) {
            if (grouped[k] || !SameServer(*deliveries[k].Target, *deliveries[i].Target)) {
                continue;
            }
            grouped[k] = true;
            const auto& delivery = deliveries[k];
            if (delivery.Exit.kind == platform::ClientExit::Kind::Ended ||
                delivery.Exit.kind == platform::ClientExit::Kind::Error) {
                continue;  // the plugin unloads, or the failure is in the log already
            }
            if (auto reason = FailureReason(delivery.Exit, job.Deadline); !reason.empty()) {
                failed.push_back(&delivery);
                reasons.push_back(std::move(reason));
            } else {
                delivered.push_back(&delivery);
            }
        }
        const std::string about = " of event " + job.EventId;
        const std::string server = Server(*deliveries[i].Target);
        if (!failed.empty()) {
            std::string why = reasons[0];
            if (reasons.size() == 2 && reasons[0] != reasons[1]) {
                why = "event command: " + reasons[0] + "; broadcast: " + reasons[1];
            }
            lines.push_back({true, "RCON " + Messages(failed, job) + about + " to " + server +
                                       " failed: " + why});
        }
        if (!delivered.empty() && job.Debug) {
            const bool chat = std::any_of(delivered.begin(), delivered.end(),
                                          [](const RconDelivery* d) { return d->AsServerChat; });
            lines.push_back({false, "RCON " + Messages(delivered, job) + about + " delivered to " +
                                        server + (chat ? " as ServerChat" : "")});
        }
    }
    return lines;
}

}  // namespace quorvane
