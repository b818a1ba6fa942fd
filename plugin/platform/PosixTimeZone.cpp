#include "platform/PosixTimeZone.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace quorvane::platform {
namespace {

using namespace std::chrono;

// Reads the rule from left to right.
class Reader {
  public:
    explicit Reader(std::string_view text) : text_(text) {}

    bool AtEnd() const { return at_ == text_.size(); }
    bool Take(char c) {
        if (!AtEnd() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    [[noreturn]] void Fail(const char* what) const {
        throw std::runtime_error("the zone file's rule \"" + std::string(text_) + "\" has " + what);
    }

    // "CET", or "<+0330>": three characters at least.
    std::string Name() {
        std::string name;
        if (Take('<')) {
            while (!AtEnd() && text_[at_] != '>') {
                const char c = text_[at_++];
                if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-') {
                    Fail("a name in <> with a character other than letters, digits, + and -");
                }
                name += c;
            }
            if (!Take('>')) {
                Fail("a name in <> without its >");
            }
        } else {
            while (!AtEnd() && std::isalpha(static_cast<unsigned char>(text_[at_]))) {
                name += text_[at_++];
            }
        }
        if (name.size() < 3) {
            Fail("a zone name shorter than three characters");
        }
        return name;
    }

    // [+-]hh[:mm[:ss]], hours up to `maxHours`.
    seconds Time(int maxHours) {
        const bool negative = Take('-');
        if (!negative) {
            Take('+');
        }
        const int h = Number(0, maxHours, 3);
        int m = 0;
        int s = 0;
        if (Take(':')) {
            m = Number(0, 59, 2);
            if (Take(':')) {
                s = Number(0, 59, 2);
            }
        }
        const seconds time = hours(h) + minutes(m) + seconds(s);
        return negative ? -time : time;
    }

    int Number(int low, int high, std::size_t maxDigits) {
        std::size_t digits = 0;
        int value = 0;
        while (!AtEnd() && digits < maxDigits &&
               std::isdigit(static_cast<unsigned char>(text_[at_]))) {
            value = value * 10 + (text_[at_++] - '0');
            ++digits;
        }
        if (digits == 0 || value < low || value > high) {
            Fail("a number missing or out of range");
        }
        return value;
    }

    bool StartsOffset() const {
        return !AtEnd() && (text_[at_] == '+' || text_[at_] == '-' ||
                            std::isdigit(static_cast<unsigned char>(text_[at_])));
    }

  private:
    std::string_view text_;
    std::size_t at_ = 0;
};

// Far enough for any calendar, near enough that no year overflows.
constexpr seconds kReach{100'000'000'000};

}  // namespace

sys_days PosixTimeZone::Change::DayIn(year y) const {
    const sys_days first = y / January / 1;
    switch (Form) {
        case Kind::Julian:  // February 29 is never counted
            return first + days(Day - 1 + (y.is_leap() && Day >= 60 ? 1 : 0));
        case Kind::ZeroBased:
            return first + days(Day);
        case Kind::MonthWeekDay:
            break;
    }
    const auto monthOf = month(static_cast<unsigned>(Month));
    const auto dayOfWeek = weekday(static_cast<unsigned>(Day));
    if (Week == 5) {
        return sys_days(y / monthOf / dayOfWeek[last]);
    }
    return sys_days(y / monthOf / dayOfWeek[static_cast<unsigned>(Week)]);
}

PosixTimeZone::PosixTimeZone(std::string_view text) {
    Reader in(text);
    name_ = in.Name();
    // POSIX counts west of Greenwich as positive.
    offset_ = -in.Time(24);
    if (in.AtEnd()) {
        return;
    }
    Daylight daylight{in.Name(), offset_ + hours(1), {}, {}};
    if (in.StartsOffset()) {
        daylight.Offset = -in.Time(24);
    }
    const auto change = [&] {
        Change c;
        if (!in.Take(',')) {
            in.Fail("daylight saving time without its rule");
        }
        if (in.Take('J')) {
            c.Form = Change::Kind::Julian;
            c.Day = in.Number(1, 365, 3);
        } else if (in.Take('M')) {
            c.Month = in.Number(1, 12, 2);
            if (!in.Take('.')) {
                in.Fail("an M rule without its week");
            }
            c.Week = in.Number(1, 5, 1);
            if (!in.Take('.')) {
                in.Fail("an M rule without its day");
            }
            c.Day = in.Number(0, 6, 1);
        } else {
            c.Form = Change::Kind::ZeroBased;
            c.Day = in.Number(0, 365, 3);
        }
        if (in.Take('/')) {
            c.Time = in.Time(167);
        }
        return c;
    };
    daylight.Start = change();
    daylight.End = change();
    if (!in.AtEnd()) {
        in.Fail("more after its rule");
    }
    daylight_ = std::move(daylight);
}

ZoneOffset PosixTimeZone::At(sys_seconds time) const {
    if (!daylight_) {
        return {offset_, name_, sys_seconds::min(), sys_seconds::max()};
    }
    const Daylight& d = *daylight_;
    const sys_seconds low{-kReach};
    const sys_seconds high{kReach};
    const sys_seconds at = std::clamp(time, low, high);
    // The changes of the years around it; at one instant an end comes before a start, so that
    // a zone in daylight saving all year stays in it.
    struct Switch {
        sys_seconds At;
        bool ToDaylight;
    };
    std::vector<Switch> switches;
    const year y = year_month_day(floor<days>(at + offset_)).year();
    for (int k = -2; k <= 2; ++k) {
        const year each = y + years(k);
        switches.push_back({sys_seconds(d.End.DayIn(each)) + d.End.Time - d.Offset, false});
        switches.push_back({sys_seconds(d.Start.DayIn(each)) + d.Start.Time - offset_, true});
    }
    std::stable_sort(switches.begin(), switches.end(),
                     [](const Switch& a, const Switch& b) { return a.At < b.At; });
    auto after = std::upper_bound(switches.begin(), switches.end(), at,
                                  [](sys_seconds t, const Switch& s) { return t < s.At; });
    const bool daylight = after != switches.begin() && std::prev(after)->ToDaylight;
    ZoneOffset out{daylight ? d.Offset : offset_, daylight ? d.Name : name_,
                   after != switches.begin() ? std::prev(after)->At : sys_seconds::min(),
                   after != switches.end() ? after->At : sys_seconds::max()};
    if (time < low) {
        out.Begin = sys_seconds::min();
    }
    if (time > high) {
        out.End = sys_seconds::max();
    }
    return out;
}

}  // namespace quorvane::platform
