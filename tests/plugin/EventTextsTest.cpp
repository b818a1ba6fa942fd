// The texts of an event: console command, map percentages, filled and escaped templates.

#include <gtest/gtest.h>

#include "base/Text.h"
#include "events/EventTexts.h"

namespace {

using quorvane::NarrowToAscii;
constexpr quorvane::CaseCompare kCompare = &quorvane::AsciiStrnicmp;

TEST(EventTextsTest, EventCommandWritesCoordinatesInTheirShortestFloatForm) {
    struct Case {
        quorvane::WorldCoordinate coordinate;
        const char* expected;
    };
    const Case cases[] = {
        {{200000, 250000, -80000}, "Start meteor 2e+05 250000 -80000"},
        {{100000, 0.1f, 0}, "Start meteor 1e+05 0.1 0"},
        {{1234.5f, -0.0f, 123456.7f}, "Start meteor 1234.5 -0 123456.7"},
        {{1e-7f, 3e38f, 16777217.0f}, "Start meteor 1e-07 3e+38 16777216"},
        {{1000, -2000, 350}, "Start meteor 1000 -2000 350"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(quorvane::MakeEventCommand("Start", "meteor", c.coordinate), c.expected);
    }
    // Texts go in byte for byte, placeholders included.
    EXPECT_EQ(quorvane::MakeEventCommand("cmd {Lat}", "\xC3\xA9", {1, 2, 3}),
              "cmd {Lat} \xC3\xA9 1 2 3");
}

class FillTemplateTest : public ::testing::Test {
  protected:
    std::string Fill(const char* text, const char* eventLabel = "Meteor",
                     const char* serverLabel = "The Island") {
        const quorvane::TemplateValues values{quorvane::WidenBytes(eventLabel),
                                              quorvane::WidenBytes(serverLabel), L"25.000000",
                                              L"75.000000"};
        return NarrowToAscii(quorvane::FillTemplate(quorvane::WidenBytes(text), values, kCompare));
    }
};

TEST_F(FillTemplateTest, ReplacesEveryPlaceholderInAnyLetterCase) {
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"{Eventlabel} on {Serverlabel} at {Lat} / {Lon}",
         "Meteor on The Island at 75.000000 / 25.000000"},
        {"{EVENTLABEL} {eventlabel} {EventLabel}", "Meteor Meteor Meteor"},
        {"{lat}{LAT}{Lon}{LON}", "75.00000075.00000025.00000025.000000"},
        {"no placeholders at all", "no placeholders at all"},
        {"{Lat", "{Lat"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Fill(c.text), c.expected);
    }
}

TEST_F(FillTemplateTest, LaterPassesFillWhatEarlierPassesInserted) {
    // The event label goes in first, so its placeholders are filled by the later passes...
    EXPECT_EQ(Fill("{Eventlabel}", "Drop at {Lat} on {Serverlabel}"),
              "Drop at 75.000000 on The Island");
    // ...while the server label comes after the event label's pass.
    EXPECT_EQ(Fill("{Serverlabel}", "Meteor", "Home of {Eventlabel}"), "Home of {Eventlabel}");
}

TEST_F(FillTemplateTest, BytesAboveAsciiBecomeOneQuestionMarkEach) {
    EXPECT_EQ(Fill("{Eventlabel}!", "Temp\xC3\xAAte"), "Temp??te!");
    EXPECT_EQ(Fill("caf\xC3\xA9"), "caf??");
}

TEST_F(FillTemplateTest, OnlyLineFeedsAreEscaped) {
    EXPECT_EQ(NarrowToAscii(quorvane::EscapeLineFeeds(L"say \"hi\"\nthen\r\\go\n", kCompare)),
              "say \"hi\"\\nthen\r\\go\\n");
}

}  // namespace
