#include "Announcement.h"

#include <sstream>

#include <nlohmann/json.hpp>

#include "DiscordRules.h"

namespace webhook {
namespace {

constexpr const char* kPrefix = "Discord | ";

void AddLines(std::string& out, const std::string& indent, const std::string& text) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        out.append(kPrefix).append(indent).append(line).append("\n");
    }
}

std::string Text(const nlohmann::json& object, const char* key) {
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

}  // namespace

std::string FormatAnnouncement(const std::string& body,
                               const std::optional<std::string>& threadId) {
    const auto message = nlohmann::json::parse(body, nullptr, false);
    if (!message.is_object()) {
        return std::string(kPrefix) + "(a post that is not a JSON object)\n";
    }
    std::string out;
    const std::string content = Text(message, "content");
    AddLines(out, "", content.empty() ? "(no content)" : content);
    const auto embeds = message.find("embeds");
    for (const auto& embed :
         embeds != message.end() && embeds->is_array() ? *embeds : nlohmann::json()) {
        if (embed.is_object()) {
            AddLines(out, "  ", Text(embed, "title"));
            AddLines(out, "  ", Text(embed, "description"));
            const auto image = embed.find("image");
            if (image != embed.end() && image->is_object() && !Text(*image, "url").empty()) {
                AddLines(out, "  ", "image: " + Text(*image, "url"));
            }
        }
    }
    std::string pings;
    for (const auto& ping : Pings(body)) {
        pings += (pings.empty() ? "" : ", ") + ping;
    }
    if (!pings.empty()) {
        AddLines(out, "", "pings: " + pings);
    }
    if (threadId) {
        AddLines(out, "", "in thread " + *threadId);
    }
    return out;
}

}  // namespace webhook
