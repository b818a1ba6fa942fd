// Narrowing, widening, and find/replace without regard to case; the game's case-insensitive
// comparison and the tool's, which must agree; and the host's FString operations.

#include <gtest/gtest.h>

#include "GameMemory.h"
#include "PluginHost.h"
#include "base/Host.h"
#include "base/Text.h"

namespace {

using quorvane::AsciiStrnicmp;
using quorvane::CaseCompare;
using quorvane::Find;
using quorvane::NarrowToAscii;
using quorvane::Replace;
using quorvane::WidenBytes;

constexpr auto npos = std::wstring_view::npos;

int GameStrnicmp(const wchar_t* a, const wchar_t* b, std::size_t count) {
    return FGenericPlatformStricmp::Strnicmp(a, b, count);
}

class TextTest : public ::testing::Test {
  protected:
    void TearDown() override {
        // Every FString of the test has been destroyed by now.
        EXPECT_EQ(gameserver::OutstandingAllocations(), allocationsBefore_);
    }
    testing_support::PluginHost host_;
    std::int64_t allocationsBefore_ = gameserver::OutstandingAllocations();
};

// Every case with the tool's comparison and with the game's (the stand-in's registered one).
struct Comparison {
    const char* name;
    CaseCompare compare;
};
constexpr Comparison kComparisons[] = {{"tool", &AsciiStrnicmp}, {"game", &GameStrnicmp}};

std::wstring Units(std::initializer_list<unsigned> units) {
    std::wstring text;
    for (unsigned u : units) {
        text += static_cast<wchar_t>(u);
    }
    return text;
}

TEST(TextConversionTest, NarrowKeepsAsciiAndTurnsEveryOtherUnitIntoAQuestionMark) {
    EXPECT_EQ(NarrowToAscii(L""), "");
    EXPECT_EQ(NarrowToAscii(L"Island 1 {x}\t\n"), "Island 1 {x}\t\n");
    EXPECT_EQ(NarrowToAscii(Units({'a', 0x7F, 0x80, 0xE9, 0xD83D, 0xDE00, 'b'})), "a\x7F????b");
}

TEST(TextConversionTest, WidenBytesSignExtendsEachByteAndBytesOfUndoesIt) {
    const std::wstring wide = WidenBytes("A\x7F\x80\xC3\xA9");
    EXPECT_EQ(wide, Units({0x41, 0x7F, 0xFF80, 0xFFC3, 0xFFA9}));
    EXPECT_EQ(quorvane::BytesOf(wide), "A\x7F\x80\xC3\xA9");
    // A two-byte UTF-8 character ends up as two question marks.
    EXPECT_EQ(quorvane::AsciiOnly("Caf\xC3\xA9"), "Caf??");
}

TEST(TextConversionTest, NumbersAsPeopleReadThem) {
    EXPECT_EQ(quorvane::FormatPercent(75), "75.000000");
    EXPECT_EQ(quorvane::FormatPercent(33.33333206176758), "33.333332");
    EXPECT_EQ(quorvane::FormatPercent(-12.5), "-12.500000");
    EXPECT_EQ(quorvane::FormatPercent(0.0), "0.000000");
    EXPECT_EQ(quorvane::FormatPercent(1e20), "100000000000000000000.000000");
    // Exactly halfway: to the even digit, as printf rounds.
    EXPECT_EQ(quorvane::FormatPercent(0.0078125), "0.007812");
    EXPECT_EQ(quorvane::FormatPercent(-0.0), "-0.000000");
    EXPECT_EQ(quorvane::FormatG(123456.7), "123457");
    EXPECT_EQ(quorvane::FormatG(1234567), "1.23457e+06");
    EXPECT_EQ(quorvane::FormatG(0.1), "0.1");
}

TEST_F(TextTest, FindIgnoresAsciiCaseOnly) {
    struct Case {
        const wchar_t* text;
        const wchar_t* search;
        std::size_t from;
        std::size_t expected;
    };
    const Case cases[] = {
        {L"Hello {Lat}", L"{lat}", 0, 6},
        {L"Hello {LAT}", L"{Lat}", 0, 6},
        {L"{lat}{lat}", L"{Lat}", 1, 5},
        {L"{Lat", L"{Lat}", 0, npos},  // a match must fit inside the text
        {L"abc", L"", 0, npos},
        {L"", L"a", 0, npos},
        {L"xAbc", L"abc", 0, 1},                        // the first unit folds a-z only
        {L"\u00C9t\u00E9", L"\u00E9t\u00E9", 0, npos},  // no folding outside ASCII
        {L"x\uFFC3\uFFA9", L"X\uFFE3\uFFC9", 0, npos},  // nor of widened bytes
    };
    for (const auto& [name, compare] : kComparisons) {
        for (const auto& c : cases) {
            EXPECT_EQ(Find(c.text, c.search, compare, c.from), c.expected)
                << name << ": " << NarrowToAscii(c.text) << " / " << NarrowToAscii(c.search);
        }
    }
}

TEST_F(TextTest, ReplaceEveryOccurrenceLeftToRightWithoutRescanning) {
    struct Case {
        const wchar_t* text;
        const wchar_t* search;
        const wchar_t* value;
        const char* expected;
    };
    const Case cases[] = {
        {L"{Lat} and {LAT} and {lat}", L"{Lat}", L"75.000000",
         "75.000000 and 75.000000 and 75.000000"},
        {L"no placeholder", L"{Lat}", L"1", "no placeholder"},
        {L"", L"{Lat}", L"1", ""},
        {L"keep", L"", L"x", "keep"},
        {L"a{X}b", L"{X}", L"", "ab"},
        {L"{X}", L"{X}", L"{X}{X}", "{X}{X}"},  // inserted text is not searched again
        {L"aaa", L"aa", L"b", "ba"},            // no overlapping matches
        {L"say \"hi\"\n", L"\"", L"\\\"", "say \\\"hi\\\"\n"},
    };
    for (const auto& [name, compare] : kComparisons) {
        for (const auto& c : cases) {
            EXPECT_EQ(NarrowToAscii(Replace(c.text, c.search, c.value, compare)), c.expected)
                << name;
        }
    }
}

TEST_F(TextTest, HostStringOperations) {
    using quorvane::UnitsOf;
    FString text(L"-SERVERKEY=Island");
    EXPECT_FALSE(text.RemoveFromStart(FString(L"-serverkey="), ESearchCase::CaseSensitive));
    EXPECT_TRUE(text.RemoveFromStart(FString(L"-serverkey="), ESearchCase::IgnoreCase));
    EXPECT_EQ(NarrowToAscii(UnitsOf(text)), "Island");
    EXPECT_FALSE(text.RemoveFromStart(FString(L"IslandX"), ESearchCase::IgnoreCase));

    FString built;
    for (int i = 0; i < 1000; ++i) {
        built.AppendChars(L"ab", 2);
    }
    EXPECT_EQ(built.Len(), 2000);
    EXPECT_EQ(NarrowToAscii(UnitsOf(built)).substr(1996), "abab");
    built = FString(3, *built + 1);  // from its own storage
    EXPECT_EQ(NarrowToAscii(UnitsOf(built)), "bab");
    EXPECT_EQ(NarrowToAscii(UnitsOf(FString("bytes \xE9"))), "bytes ?");
}

}  // namespace
