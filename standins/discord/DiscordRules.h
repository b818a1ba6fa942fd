#pragma once
// What Discord's Execute Webhook endpoint checks of a JSON post, and the error bodies it
// answers with (Discord's API reference: "Error Messages", "JSON Error Codes", the Execute
// Webhook parameters and the embed limits).

#include <string>
#include <vector>

namespace webhook {

struct Verdict {
    int status = 204;   // 204, or 400
    std::string error;  // the 400's JSON body
};

// `contentTypes`: the values of every Content-Type header of the request.
Verdict CheckPost(const std::vector<std::string>& contentTypes, const std::string& body);

// Whom an accepted post notifies, as Discord reads its content under its "allowed_mentions"
// (embeds notify nobody): "@everyone", "@here", "role ID", "user ID", in the content's order.
std::vector<std::string> Pings(const std::string& body);

}  // namespace webhook
