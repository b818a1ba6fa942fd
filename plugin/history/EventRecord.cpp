#include "history/EventRecord.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include <nlohmann/json.hpp>

#include "base/Text.h"

namespace quorvane {
namespace {

using nlohmann::json;
using Clock = std::chrono::system_clock;

}  // namespace

std::string UtcText(Clock::time_point time) {
    const auto days = std::chrono::floor<std::chrono::days>(time);
    const std::chrono::year_month_day date(days);
    const std::chrono::hh_mm_ss clock(std::chrono::floor<std::chrono::seconds>(time - days));
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(clock.hours().count()),
                  static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()));
    return text;
}

std::optional<Clock::time_point> ParseUtcText(const std::string& text) {
    int year = 0;
    unsigned month = 0;
    unsigned day = 0;
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    char zone = 0;
    if (std::sscanf(text.c_str(), "%4d-%2u-%2uT%2d:%2d:%2d%c", &year, &month, &day, &hours,
                    &minutes, &seconds, &zone) != 7 ||
        zone != 'Z') {
        return std::nullopt;
    }
    const std::chrono::year_month_day date{std::chrono::year(year), std::chrono::month(month),
                                           std::chrono::day(day)};
    // The clock of some standard libraries counts nanoseconds and ends in 2262.
    if (!date.ok() || year < 1970 || year >= 2200 || hours < 0 || hours > 23 || minutes < 0 ||
        minutes > 59 || seconds < 0 || seconds > 59) {
        return std::nullopt;
    }
    return std::chrono::sys_days(date) + std::chrono::hours(hours) + std::chrono::minutes(minutes) +
           std::chrono::seconds(seconds);
}

namespace {

// One line's members as the parser meets them, without building the document: a year of a
// cluster's history is a million lines. A member given twice counts as its last value, as in
// the document.
class RecordReader final : public json::json_sax_t {
  public:
    bool IsRecord() const { return object_ && parsed_ && timeOk_ && outcomeOk_; }
    EventRecord Take() {
        if (lat_ && lon_) {
            record_.Position = LatLon{*lat_, *lon_};
        }
        return std::move(record_);
    }

    bool null() override { return Scalar(); }
    bool boolean(bool) override { return Scalar(); }
    bool number_integer(number_integer_t value) override {
        return Number(static_cast<double>(value));
    }
    bool number_unsigned(number_unsigned_t value) override {
        return Number(static_cast<double>(value));
    }
    bool number_float(number_float_t value, const string_t&) override { return Number(value); }
    bool string(string_t& value) override {
        if (depth_ == 1) {
            SetText(key_, &value);
        } else if (depth_ == 2 && inRcon_) {
            record_.Rcon[memberKey_] = std::move(value);
        } else {
            Scalar();
        }
        return true;
    }
    bool binary(binary_t&) override { return Scalar(); }
    bool start_object(std::size_t) override {
        if (depth_ == 0) {
            object_ = true;
        } else if (depth_ == 1) {
            SetNone(key_);
            inRcon_ = key_ == "rcon";
            if (inRcon_) {
                record_.Rcon.clear();
            }
        } else {
            Nested();
        }
        ++depth_;
        return true;
    }
    bool end_object() override { return End(); }
    bool start_array(std::size_t) override {
        if (depth_ == 1) {
            SetNone(key_);
            inCoordinate_ = key_ == "coordinate";
            coordinate_.clear();
        } else if (depth_ > 1) {
            Nested();
        }
        ++depth_;
        return true;
    }
    bool end_array() override {
        if (depth_ == 2 && inCoordinate_) {
            inCoordinate_ = false;
            // A component beyond float is no coordinate the plugin could have written.
            const auto fits = [](double v) {
                return std::fabs(v) <= (std::numeric_limits<float>::max)();
            };
            if (coordinate_.size() == 3 &&
                std::all_of(coordinate_.begin(), coordinate_.end(), fits)) {
                record_.Coordinate = WorldCoordinate{static_cast<float>(coordinate_[0]),
                                                     static_cast<float>(coordinate_[1]),
                                                     static_cast<float>(coordinate_[2])};
            }
        }
        return End();
    }
    bool key(string_t& name) override {
        if (depth_ == 1) {
            key_ = std::move(name);
        } else if (depth_ == 2) {
            memberKey_ = std::move(name);
        }
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        parsed_ = false;
        return false;
    }

  private:
    bool Scalar() {
        if (depth_ == 1) {
            SetNone(key_);
        } else if (depth_ == 2) {
            Nested();
        }
        return true;
    }
    bool Number(double value) {
        if (depth_ == 1 && key_ == "ranMinutes") {
            record_.RanMinutes = value;
            return true;
        }
        if (depth_ == 1 && (key_ == "lat" || key_ == "lon")) {
            (key_ == "lat" ? lat_ : lon_) = value;
            return true;
        }
        if (depth_ == 2 && inCoordinate_) {
            coordinate_.push_back(value);
            return true;
        }
        return Scalar();
    }
    // Something at the second level that is not what it should be there.
    void Nested() {
        if (inRcon_ && depth_ == 2) {
            record_.Rcon.erase(memberKey_);
        }
        if (inCoordinate_) {
            coordinate_.push_back(std::numeric_limits<double>::infinity());
        }
    }
    bool End() {
        --depth_;
        if (depth_ == 1) {
            inRcon_ = false;
            inCoordinate_ = false;
        }
        return true;
    }
    void SetNone(const std::string& name) { SetText(name, nullptr); }
    // Text members; any other value leaves them unset.
    void SetText(const std::string& name, std::string* value) {
        const auto text = [&] { return value ? std::move(*value) : std::string(); };
        if (name == "time") {
            const auto parsed = value ? ParseUtcText(*value) : std::nullopt;
            timeOk_ = parsed.has_value();
            record_.Time = parsed.value_or(Clock::time_point());
        } else if (name == "outcome") {
            outcomeOk_ = value != nullptr;
            record_.Outcome = text();
        } else if (name == "server") {
            record_.Server = text();
        } else if (name == "trigger") {
            record_.Trigger = text();
        } else if (name == "reason") {
            record_.Reason = text();
        } else if (name == "skip") {
            record_.SkipKind = text();
        } else if (name == "event") {
            record_.EventId = value ? std::optional(text()) : std::nullopt;
        } else if (name == "label") {
            record_.Eventlabel = value ? std::optional(text()) : std::nullopt;
        } else if (name == "discord") {
            record_.Discord = value ? std::optional(text()) : std::nullopt;
        } else if (name == "lat") {
            lat_.reset();
        } else if (name == "lon") {
            lon_.reset();
        } else if (name == "coordinate") {
            record_.Coordinate.reset();
        } else if (name == "rcon") {
            record_.Rcon.clear();
        } else if (name == "ranMinutes") {
            record_.RanMinutes.reset();
        }
    }

    EventRecord record_;
    bool object_ = false;
    bool parsed_ = true;
    bool timeOk_ = false;
    bool outcomeOk_ = false;
    int depth_ = 0;
    std::string key_;        // the member being read
    std::string memberKey_;  // the rcon member being read
    bool inRcon_ = false;
    bool inCoordinate_ = false;
    std::vector<double> coordinate_;
    std::optional<double> lat_;
    std::optional<double> lon_;
};

}  // namespace

std::string ToJsonLine(const EventRecord& r) {
    json line = {{"time", UtcText(r.Time)},
                 {"server", r.Server},
                 {"trigger", r.Trigger},
                 {"outcome", r.Outcome}};
    if (!r.Reason.empty()) {
        line["reason"] = r.Reason;
    }
    if (!r.SkipKind.empty()) {
        line["skip"] = r.SkipKind;
    }
    if (r.EventId) {
        line["event"] = *r.EventId;
    }
    if (r.Eventlabel) {
        line["label"] = *r.Eventlabel;
    }
    if (r.Coordinate) {
        line["coordinate"] = {ShortestFloatValue(r.Coordinate->X),
                              ShortestFloatValue(r.Coordinate->Y),
                              ShortestFloatValue(r.Coordinate->Z)};
    }
    if (r.Position) {
        line["lat"] = r.Position->Lat;
        line["lon"] = r.Position->Lon;
    }
    if (r.RanMinutes) {
        line["ranMinutes"] = *r.RanMinutes;
    }
    if (r.Outcome != "skipped") {
        line["rcon"] = r.Rcon;
        line["discord"] = r.Discord ? json(*r.Discord) : json(nullptr);
    }
    // Bytes that are no UTF-8 (a key or label the plugin took as it was) are replaced.
    return line.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::optional<EventRecord> FromJsonLine(const std::string& text) {
    RecordReader reader;
    if (!json::sax_parse(text, &reader) || !reader.IsRecord()) {
        return std::nullopt;
    }
    return reader.Take();
}

std::string Describe(const EventRecord& r) {
    std::string text = UtcText(r.Time) + " ";
    if (r.EventId) {
        text += *r.EventId + " (" + r.Eventlabel.value_or("") + "): ";
    }
    text += r.Outcome;
    if (r.RanMinutes) {
        text += " after " + FormatG(*r.RanMinutes) + " min";
    }
    if (!r.Reason.empty()) {
        text += ": " + r.Reason;
    }
    if (r.Outcome == "skipped") {
        return text;
    }
    const char* separator = "; RCON ";
    for (const auto& [server, outcome] : r.Rcon) {
        text += separator + server + " " + outcome;
        separator = ", ";
    }
    if (r.Discord) {
        text += "; Discord " + *r.Discord;
    }
    return text;
}

HistorySummary Summarize(const std::vector<std::string>& lines) {
    HistorySummary summary;
    std::map<std::string, HistorySummary::Event> events;
    for (const auto& line : lines) {
        if (line.empty()) {
            continue;
        }
        const auto record = FromJsonLine(line);
        if (!record) {
            ++summary.Unreadable;
            continue;
        }
        if (record->Outcome == "ended") {
            ++summary.Ended;
            auto& event = events[record->EventId.value_or("?")];
            event.EventId = record->EventId.value_or("?");
            event.Eventlabel = record->Eventlabel.value_or("");
            ++event.Ended;
            event.RanMinutes += record->RanMinutes.value_or(0);
            continue;
        }
        ++summary.Due;
        summary.First = summary.First ? (std::min)(*summary.First, record->Time) : record->Time;
        summary.LastTime =
            summary.LastTime ? (std::max)(*summary.LastTime, record->Time) : record->Time;
        if (record->Outcome == "skipped") {
            ++summary.Skipped;
            ++summary.Skips[record->SkipKind.empty() ? "other" : record->SkipKind];
        } else if (record->Outcome == "started") {
            ++summary.Started;
            auto& event = events[record->EventId.value_or("?")];
            event.EventId = record->EventId.value_or("?");
            event.Eventlabel = record->Eventlabel.value_or("");
            ++event.Started;
            event.Last = (std::max)(event.Last, record->Time);
        } else {
            ++summary.NotStarted;
        }
    }
    for (auto& [id, event] : events) {
        if (event.Started == 0) {
            continue;  // ended only: its start is before the history's first line
        }
        event.Share = static_cast<double>(event.Started) / static_cast<double>(summary.Started);
        summary.Events.push_back(event);
    }
    std::stable_sort(summary.Events.begin(), summary.Events.end(),
                     [](const auto& a, const auto& b) { return a.Started > b.Started; });
    return summary;
}

}  // namespace quorvane
