#pragma once
// `quorvane-config send-test`: one test broadcast to every server of the file through the
// client the file names (RconClient), and one post to the webhook, with what became of each.

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "config/Settings.h"

namespace quorvane::admin {

struct SendResult {
    std::string server;
    std::string address;
    bool delivered = false;
    std::string outcome;  // "delivered", "refused (exit code 3)", "timed out (...)"...
};

struct SendReport {
    std::vector<SendResult> servers;
    bool webhookSet = false;
    bool webhookDelivered = false;
    std::string webhook;  // what became of the post

    // 0 when every message arrived, 1 otherwise.
    int ExitCode() const;
};

// Waits for every client and for the webhook's answer.
SendReport SendTest(const Settings& settings, const std::string& text);

std::string ToText(const SendReport& report);
nlohmann::json ToJson(const SendReport& report);

}  // namespace quorvane::admin
