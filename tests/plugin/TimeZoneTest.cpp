// The zone files shipped beside the plugin, read by the plugin's own reader for builds whose
// system has no zone database, against the system's database (the date library over the same
// Debian tzdata); and how a zone is found.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>

#include "history/EventRecord.h"
#include "platform/PosixTimeZone.h"
#include "platform/TimeZone.h"
#include "platform/TzifZone.h"

namespace {

using namespace std::chrono;
namespace platform = quorvane::platform;

const std::filesystem::path kShipped = SHIPPED_ZONES_DIR;

std::string Bytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// "2100-07-01T00:00:00Z", any year.
sys_seconds Utc(const std::string& text) {
    int y = 0;
    unsigned m = 0, d = 0, h = 0, min = 0, s = 0;
    EXPECT_EQ(std::sscanf(text.c_str(), "%d-%u-%uT%u:%u:%uZ", &y, &m, &d, &h, &min, &s), 6);
    return sys_days(year(y) / month(m) / day(d)) + hours(h) + minutes(min) + seconds(s);
}

std::vector<std::string> ShippedZones() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(kShipped)) {
        if (entry.is_regular_file() && entry.path().filename() != "version") {
            names.push_back(entry.path().lexically_relative(kShipped).generic_string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Every shipped zone answers as the system's database does, every ten days from 1900 to the
// end of the transitions the files list (2037), both sides of every change included.
TEST(TimeZoneTest, EveryShippedZoneAnswersAsTheSystemDatabase) {
    const auto names = ShippedZones();
    ASSERT_GT(names.size(), 500u);
    EXPECT_TRUE(std::regex_match(Bytes(kShipped / "version"), std::regex("[0-9]{4}[a-z]\n")));
    std::size_t compared = 0;
    for (const auto& name : names) {
        const auto system = platform::SystemZone(name);
        ASSERT_TRUE(system.Rules) << name;
        const auto shipped = platform::ReadTzif(Bytes(kShipped / name));
        for (sys_seconds t = Utc("1900-01-01T00:00:00Z"); t < Utc("2037-12-01T00:00:00Z");) {
            const auto want = system.Rules->At(t);
            const auto got = shipped->At(t);
            ASSERT_EQ(got.Offset, want.Offset) << name << " " << quorvane::UtcText(t);
            ASSERT_EQ(got.Abbreviation, want.Abbreviation) << name << " " << quorvane::UtcText(t);
            ++compared;
            // On to the next change, or ten days on; and the change's own second.
            const auto next = (std::min)(want.End, t + days(10));
            t = next > t ? next : t + days(10);
        }
    }
    EXPECT_GT(compared, 2'000'000u);
}

// After its last listed transition a zone follows the rule of its file's footer: where both
// say, 2026 to 2037, they agree, for every shipped zone with daylight saving. (A footer
// without it says nothing of the years before, nor does one of the zones that list their
// predicted Ramadan changes up to 2087.)
TEST(TimeZoneTest, TheFooterRuleContinuesEachZonesTransitions) {
    for (const auto& name : ShippedZones()) {
        const std::string bytes = Bytes(kShipped / name);
        const auto end = bytes.rfind('\n');
        const auto start = bytes.rfind('\n', end - 1);
        ASSERT_NE(start, std::string::npos) << name;
        const std::string footer = bytes.substr(start + 1, end - start - 1);
        if (footer.find(',') == std::string::npos ||
            std::set<std::string>{"Africa/Casablanca", "Africa/El_Aaiun", "Asia/Gaza",
                                  "Asia/Hebron"}
                .contains(name)) {
            continue;
        }
        const platform::PosixTimeZone rule(footer);
        const auto listed = platform::ReadTzif(bytes);
        for (sys_seconds t = Utc("2026-01-01T00:00:00Z"); t < Utc("2037-12-01T00:00:00Z");
             t += days(3) + hours(5)) {
            const auto want = listed->At(t);
            const auto got = rule.At(t);
            ASSERT_EQ(got.Offset, want.Offset)
                << name << " " << footer << " " << quorvane::UtcText(t);
            ASSERT_EQ(got.Abbreviation, want.Abbreviation) << name << " " << quorvane::UtcText(t);
        }
    }
}

TEST(TimeZoneTest, FooterRulesBeyondTheListedYears) {
    struct Case {
        const char* rule;
        const char* at;
        int offsetMinutes;
        const char* abbreviation;
        const char* begin;  // "" for none
        const char* end;
    };
    const Case cases[] = {
        {"CET-1CEST,M3.5.0,M10.5.0/3", "2100-07-01T00:00:00Z", 120, "CEST", "2100-03-28T01:00:00Z",
         "2100-10-31T01:00:00Z"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", "2100-10-31T01:00:00Z", 60, "CET", "2100-10-31T01:00:00Z",
         "2101-03-27T01:00:00Z"},
        // Southern: daylight saving across the new year.
        {"AEST-10AEDT,M10.1.0,M4.1.0/3", "2199-01-01T00:00:00Z", 660, "AEDT",
         "2198-10-06T16:00:00Z", "2199-04-06T16:00:00Z"},
        // Half an hour of daylight saving, names in <>.
        {"<+1030>-10:30<+11>-11,M10.1.0,M4.1.0", "2150-07-01T00:00:00Z", 630, "+1030",
         "2150-04-04T15:00:00Z", "2150-10-03T15:30:00Z"},
        // Dublin's winter is the "daylight saving" of a summer standard time.
        {"IST-1GMT0,M10.5.0,M3.5.0/1", "2100-01-15T00:00:00Z", 0, "GMT", "2099-10-25T01:00:00Z",
         "2100-03-28T01:00:00Z"},
        // Daylight saving all year, as RFC 8536 writes it.
        {"EST5EDT,0/0,J365/25", "2100-06-01T00:00:00Z", -240, "EDT", "2100-01-01T05:00:00Z",
         "2101-01-01T05:00:00Z"},
        {"<-03>3", "2300-01-01T00:00:00Z", -180, "-03", "", ""},
    };
    for (const auto& c : cases) {
        const auto got = platform::PosixTimeZone(c.rule).At(Utc(c.at));
        const auto text = [](sys_seconds t) {
            return t == sys_seconds::min() || t == sys_seconds::max() ? std::string()
                                                                      : quorvane::UtcText(t);
        };
        EXPECT_EQ(got.Offset, minutes(c.offsetMinutes)) << c.rule << " " << c.at;
        EXPECT_EQ(got.Abbreviation, c.abbreviation) << c.rule << " " << c.at;
        EXPECT_EQ(text(got.Begin), c.begin) << c.rule << " " << c.at;
        EXPECT_EQ(text(got.End), c.end) << c.rule << " " << c.at;
    }
    for (const char* broken :
         {"", "CE-1", "CET", "CET-1CEST", "CET-1CEST,M3.5.0", "CET-1CEST,M13.5.0,M10.5.0",
          "CET-1CEST,M3.6.0,M10.5.0", "CET-25", "<+01-1", "CET-1CEST,J0,J365", "CET-1 "}) {
        EXPECT_THROW(platform::PosixTimeZone{broken}, std::runtime_error) << broken;
    }
}

// Where a zone comes from: the system's database first, the shipped files for a zone it
// lacks, in exactly the letter case of their names; a broken file and a name that reaches
// out of the folder are refused, and UTC needs neither.
TEST(TimeZoneTest, AZoneIsFoundInTheSystemElseInTheShippedFiles) {
    const auto folder = std::filesystem::temp_directory_path() / "quorvane-zones-test";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "Test");
    std::filesystem::copy_file(kShipped / "Europe/Berlin", folder / "Test/Berlin");
    std::ofstream(folder / "Test/Broken") << "TZif2 and no more";
    std::ofstream(folder / "version") << "2025b\n";
    std::filesystem::copy_file(kShipped / "Europe/Berlin", folder.parent_path() / "Outside");
    const std::string shipped = "the zone files shipped in " + folder.string() + " (tzdata 2025b)";
    const std::string notAZone = "is not a time zone (an IANA name such as \"Europe/Berlin\")";
    struct Case {
        std::string name;
        std::string from;  // or the error's end
        int julyOffsetMinutes;
    };
    const Case cases[] = {
        {"Europe/Berlin", "the system's zone database", 120},
        {"UTC", "the system's zone database", 0},
        {"Etc/UTC", "the system's zone database", 0},
        {"Test/Berlin", shipped, 120},
        {"test/berlin", notAZone, 0},
        {"Test/Broken", "/Test/Broken cannot be read: not a zone file (TZif): it ends too early",
         0},
        {"../Outside", notAZone, 0},
        {"Test/../../Outside", notAZone, 0},
        {"Test", notAZone, 0},
        {"Europe/Berln", notAZone, 0},
    };
    for (const auto& c : cases) {
        try {
            const auto zone = platform::FindZone(c.name, folder);
            EXPECT_EQ(zone.Database(), c.from) << c.name;
            EXPECT_EQ(zone.At(Utc("2026-07-01T00:00:00Z")).Offset, minutes(c.julyOffsetMinutes))
                << c.name;
        } catch (const std::runtime_error& e) {
            EXPECT_TRUE(std::string(e.what()).ends_with(c.from)) << c.name << ": " << e.what();
        }
    }
    std::filesystem::remove_all(folder);
    std::filesystem::remove(folder.parent_path() / "Outside");
}

}  // namespace
