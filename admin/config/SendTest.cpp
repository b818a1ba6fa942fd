#include "SendTest.h"

#include <algorithm>
#include <thread>

#include "HttpUrl.h"
#include "history/EventRecord.h"
#include "notify/DiscordPost.h"
#include "notify/RconJob.h"
#include "notify/RconReport.h"
#include "notify/RconSender.h"
#include "platform/ClientEnv.h"
#include "platform/HttpTransport.h"

namespace quorvane::admin {
namespace {

// The start of an answer's body on one line.
std::string Excerpt(const std::string& body) {
    constexpr std::size_t kLimit = 300;
    std::string out = body.substr(0, kLimit);
    for (auto& c : out) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return body.size() > kLimit ? out + "..." : out;
}

// The bundled client's exit codes, which the others mostly share in spirit; the built-in
// client's own reasons.
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
    const auto env = platform::SystemClientEnv();
    const auto sender =
        job.Client == RconClientKind::Builtin ? BuiltinSender() : ExternalSender(*env);
    report.servers.resize(job.Targets.size());
    std::vector<std::thread> clients;
    for (std::size_t i = 0; i < job.Targets.size(); ++i) {
        clients.emplace_back([&, i] {
            const auto& target = job.Targets[i];
            const auto exit = sender->Send(job, target, job.BroadcastText);
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
    // The request the plugin would make, or none where the plugin makes none; with the image
    // of the first event that has one.
    const auto withImage = std::find_if(s.RandomEvents.begin(), s.RandomEvents.end(),
                                        [](const auto& e) { return !e.DiscordImageUrl.empty(); });
    const auto discord =
        MakeDiscordPost(s, {text, "Quorvane test",
                            withImage == s.RandomEvents.end() ? "" : withImage->DiscordImageUrl,
                            UtcText(std::chrono::system_clock::now())});
    if (!discord) {
        report.webhookSet = false;
        report.webhook = "none (no DiscordWebhookColor)";
        return report;
    }
    http::Post post;
    post.url = discord->Url;
    post.body = discord->Body;
    post.headerLines = {"Content-Type: application/json",
                        "User-Agent: " + DiscordUserAgent("quorvane-config")};
    post.connectTimeout = std::chrono::seconds(10);
    post.totalTimeout = std::chrono::seconds(30);
    const std::string where = "POST to " + http::Redacted(post.url);
    if (!http::IsHttpUrl(post.url)) {
        report.webhook = "not sent: not an http:// or https:// URL: " + http::Redacted(post.url);
        return report;
    }
    const auto outcome = http::NewTransfer()->Perform(post);
    report.webhookDelivered = outcome.answered && outcome.status >= 200 && outcome.status < 300;
    report.webhook = report.webhookDelivered ? "delivered"
                     : outcome.answered
                         ? "refused: " + where + " answered " + std::to_string(outcome.status) +
                               ": " + Excerpt(outcome.body)
                         : "refused: " + where + " failed: " + outcome.error;
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
