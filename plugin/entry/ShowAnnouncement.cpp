#include "entry/ShowAnnouncement.h"

#include "base/Host.h"
#include "base/PercentText.h"
#include "base/PluginLog.h"
#include "base/Text.h"
#include "events/GamePlayers.h"
#include "notify/Announcement.h"

namespace quorvane {
std::string ShowAnnouncement(const Settings& s, std::string_view encoded) {
    std::string error;
    const auto text = encoded.empty() ? std::nullopt : PercentDecode(encoded, error);
    if (!text) {
        const std::string reason = encoded.empty() ? "no text" : error;
        PluginLog()->warn("{} refused: {}", kAnnounceCommand, reason);
        return kAnnounceRefused + reason;
    }
    const int players = GamePlayersOnline();
    const FString shown = GameText(*text);
    auto& utils = AsaApi::GetApiUtils();
    // The text is an argument, never the format: it may hold braces.
    utils.SendNotificationToAll(GameColour(s.NotificationColor),
                                static_cast<float>(s.NotificationScale),
                                static_cast<float>(s.NotificationSeconds), nullptr, L"{}", *shown);
    utils.SendChatMessageToAll(GameText(s.AnnouncementSender), L"{}", *shown);
    // One log line, whatever the text holds.
    std::string logged;
    for (const char c : *text) {
        logged += c == '\n' ? std::string("\\n") : std::string(1, c);
    }
    PluginLog()->info("Announcement shown to {} player(s): {}", players, logged);
    return kAnnounceShown + std::to_string(players) + " player(s)";
}

}  // namespace quorvane
