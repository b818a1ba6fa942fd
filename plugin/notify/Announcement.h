#pragma once
// What players see of an event: an announcement (a start, a warning, an end) is text, and the
// way it reaches them is chosen once, by PlayerAnnouncements. "console": the text is a console
// command, run as written on every server (ASCII, a line feed as \n). "quorvane": the text is
// sent to every server as quorvane.announce, in PercentText's encoding, and each server's own
// Quorvane shows it with every letter; a server whose answer shows that no Quorvane took it
// gets the text as ServerChat instead. Pure.

#include <string>
#include <string_view>

#include "base/Text.h"
#include "config/Settings.h"

namespace quorvane {

// The RCON command that shows an announcement, and the first words of the answers a server's
// Quorvane gives to it.
inline constexpr const char* kAnnounceCommand = "quorvane.announce";
inline constexpr const char* kAnnounceShown = "Quorvane: shown to ";
inline constexpr const char* kAnnounceRefused = "Quorvane: announcement not shown: ";

struct Announcement {
    // For every server; with "quorvane", empty when there is nothing to announce.
    std::string Command;
    // With "quorvane": the text players see, UTF-8.
    std::string Text;
    // With "quorvane": what a server without a Quorvane that takes the command gets instead.
    std::string Fallback;
    bool ToQuorvane = false;
};

// A line feed as the two characters \ and n: one console command per announcement.
std::wstring EscapeLineFeeds(std::wstring_view text, CaseCompare compare);

// The filled text of one announcement, as the settings say it goes to every server.
Announcement ComposeAnnouncement(const Settings& settings, std::wstring_view text,
                                 CaseCompare compare);

// What a server's answer to quorvane.announce says.
enum class AnnounceAnswer {
    Shown,      // its Quorvane showed the text (or the answer is another's, which it took)
    Refused,    // its Quorvane did not show it (the answer says why)
    NoQuorvane  // the game's answer to a command no plugin took
};
AnnounceAnswer ReadAnnounceAnswer(std::string_view answer);

}  // namespace quorvane
