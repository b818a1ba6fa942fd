// Narrowing, widening, and find/replace without regard to case, on the host's FString.

#include <gtest/gtest.h>

#include "GameMemory.h"
#include "PluginHost.h"
#include "core/FStringText.h"

namespace {

using quorvane::Find;
using quorvane::Narrow;
using quorvane::Replace;
using quorvane::WidenBytes;

class FStringTextTest : public ::testing::Test {
  protected:
    void TearDown() override {
        // Every FString of the test has been destroyed by now.
        EXPECT_EQ(gameserver::OutstandingAllocations(), allocationsBefore_);
    }
    testing_support::PluginHost host_;
    std::int64_t allocationsBefore_ = gameserver::OutstandingAllocations();
};

FString Units(std::initializer_list<unsigned> units) {
    std::wstring text;
    for (unsigned u : units) {
        text += static_cast<wchar_t>(u);
    }
    return FString(static_cast<int>(text.size()), text.data());
}

TEST_F(FStringTextTest, NarrowKeepsAsciiAndTurnsEveryOtherUnitIntoAQuestionMark) {
    EXPECT_EQ(Narrow(FString()), "");
    EXPECT_EQ(Narrow(FString(L"Island 1 {x}\t\n")), "Island 1 {x}\t\n");
    EXPECT_EQ(Narrow(Units({'a', 0x7F, 0x80, 0xE9, 0xD83D, 0xDE00, 'b'})), "a\x7F????b");
}

TEST_F(FStringTextTest, WidenBytesSignExtendsEachByte) {
    const FString wide = WidenBytes("A\x7F\x80\xC3\xA9");
    ASSERT_EQ(wide.Len(), 5);
    const unsigned expected[] = {0x41, 0x7F, 0xFF80, 0xFFC3, 0xFFA9};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(static_cast<unsigned>(wide[i]) & 0xFFFFu, expected[i]) << i;
    }
    // A two-byte UTF-8 character ends up as two question marks.
    EXPECT_EQ(Narrow(WidenBytes("Caf\xC3\xA9")), "Caf??");
}

TEST_F(FStringTextTest, FindIgnoresAsciiCaseOnly) {
    struct Case {
        const wchar_t* text;
        const wchar_t* search;
        int from;
        int expected;
    };
    const Case cases[] = {
        {L"Hello {Lat}", L"{lat}", 0, 6},
        {L"Hello {LAT}", L"{Lat}", 0, 6},
        {L"{lat}{lat}", L"{Lat}", 1, 5},
        {L"{Lat", L"{Lat}", 0, -1},  // a match must fit inside the text
        {L"abc", L"", 0, -1},
        {L"", L"a", 0, -1},
        {L"xAbc", L"abc", 0, 1},                      // the first unit folds a-z only
        {L"\u00C9t\u00E9", L"\u00E9t\u00E9", 0, -1},  // no folding outside ASCII
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Find(FString(c.text), FString(c.search), c.from), c.expected)
            << Narrow(FString(c.text)) << " / " << Narrow(FString(c.search));
    }
}

TEST_F(FStringTextTest, ReplaceEveryOccurrenceLeftToRightWithoutRescanning) {
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
    for (const auto& c : cases) {
        EXPECT_EQ(Narrow(Replace(FString(c.text), FString(c.search), FString(c.value))),
                  c.expected);
    }
}

TEST_F(FStringTextTest, HostStringOperations) {
    FString text(L"-SERVERKEY=Island");
    EXPECT_FALSE(text.RemoveFromStart(FString(L"-serverkey="), ESearchCase::CaseSensitive));
    EXPECT_TRUE(text.RemoveFromStart(FString(L"-serverkey="), ESearchCase::IgnoreCase));
    EXPECT_EQ(Narrow(text), "Island");
    EXPECT_FALSE(text.RemoveFromStart(FString(L"IslandX"), ESearchCase::IgnoreCase));

    FString built;
    for (int i = 0; i < 1000; ++i) {
        built.AppendChars(L"ab", 2);
    }
    EXPECT_EQ(built.Len(), 2000);
    EXPECT_EQ(Narrow(built).substr(1996), "abab");
    built = FString(3, *built + 1);  // from its own storage
    EXPECT_EQ(Narrow(built), "bab");
    EXPECT_EQ(Narrow(FString("bytes \xE9")), "bytes ?");
}

}  // namespace
