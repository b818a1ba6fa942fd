#pragma once
// quorvane.announce on this server: the text it carries, decoded, shown to every player online
// as an on-screen notification and as a chat line from AnnouncementSender. On the game thread.

#include <string>
#include <string_view>

#include "config/Settings.h"

namespace quorvane {

// `encoded` is the text after the command. The answer, in ASCII: "Quorvane: shown to N
// player(s)", or "Quorvane: announcement not shown: REASON".
std::string ShowAnnouncement(const Settings& settings, std::string_view encoded);

}  // namespace quorvane
