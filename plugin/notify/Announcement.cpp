#include "notify/Announcement.h"

#include "base/PercentText.h"

namespace quorvane {

std::wstring EscapeLineFeeds(std::wstring_view text, CaseCompare compare) {
    return Replace(text, L"\n", L"\\n", compare);
}

Announcement ComposeAnnouncement(const Settings& s, std::wstring_view text, CaseCompare compare) {
    Announcement out;
    const std::string console = NarrowToAscii(EscapeLineFeeds(text, compare));
    if (s.PlayerAnnouncements == AnnouncementWay::Console) {
        out.Command = console;
        return out;
    }
    out.ToQuorvane = true;
    if (!text.empty()) {
        out.Text = BytesOf(text);
        out.Command = std::string(kAnnounceCommand) + ' ' + PercentEncode(out.Text);
        out.Fallback = "ServerChat " + console;
    }
    return out;
}

AnnounceAnswer ReadAnnounceAnswer(std::string_view answer) {
    // What the game answers to a command that prints nothing, such as one it does not know;
    // a Quorvane that takes the command always says what became of the text.
    if (answer.starts_with("Server received, But no response")) {
        return AnnounceAnswer::NoQuorvane;
    }
    return answer.starts_with(kAnnounceRefused) ? AnnounceAnswer::Refused : AnnounceAnswer::Shown;
}

}  // namespace quorvane
