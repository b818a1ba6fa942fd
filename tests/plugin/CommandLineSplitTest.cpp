// Arguments as Windows hands them to a program, for the RCON client started without cmd.exe.

#include <gtest/gtest.h>

#include "platform/CommandLineSplit.h"

namespace {

using quorvane::platform::SplitCommandLine;
using quorvane::platform::StripOuterQuotes;
using Args = std::vector<std::string>;

TEST(CommandLineSplitTest, SplitsLikeCommandLineToArgvW) {
    struct Case {
        const char* line;
        Args expected;
    };
    const Case cases[] = {
        {R"("C:\rcon\mcrcon.exe" -H127.0.0.1 -P27020 -ppw "Meteor at 1 / 2")",
         {R"(C:\rcon\mcrcon.exe)", "-H127.0.0.1", "-P27020", "-ppw", "Meteor at 1 / 2"}},
        {R"("C:\Program Files\x.exe"arg next)", {R"(C:\Program Files\x.exe)", "arg", "next"}},
        {R"(C:\x\y.exe a)", {R"(C:\x\y.exe)", "a"}},
        {R"(prog "say \"hi\"\n")", {"prog", R"(say "hi"\n)"}},
        {R"(prog a\\\"b)", {"prog", R"(a\"b)"}},
        {R"(prog "a\\" b)", {"prog", R"(a\)", "b"}},
        {R"(prog a\\b c\)", {"prog", R"(a\\b)", R"(c\)"}},
        {R"(prog "" "")", {"prog", "", ""}},
        {R"(prog a"b c"d)", {"prog", "ab cd"}},
        {R"(prog "a""b")", {"prog", R"(a"b)"}},
        {R"(prog """")", {"prog", R"(")"}},
        {"prog\ta\t\t b ", {"prog", "a", "b"}},
        {R"(prog -H -P0 -p "")", {"prog", "-H", "-P0", "-p", ""}},
        {R"(prog "unterminated \" quote)", {"prog", R"(unterminated " quote)"}},
        {R"(prog "a b)", {"prog", "a b"}},
        {"prog", {"prog"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitCommandLine(c.line), c.expected) << c.line;
    }
}

TEST(CommandLineSplitTest, CmdKeepsTheLineWithoutItsOuterQuotes) {
    EXPECT_EQ(StripOuterQuotes(R"(""C:\r.exe" -H1 -P2 -p3 "text"")"),
              R"("C:\r.exe" -H1 -P2 -p3 "text")");
    EXPECT_EQ(StripOuterQuotes(R"(""a" "b" tail)"), R"("a" "b tail)");
    EXPECT_EQ(StripOuterQuotes("plain line"), "plain line");
}

TEST(CommandLineSplitTest, ProgramAndTheRestOfTheLine) {
    struct Case {
        const char* line;
        const char* program;
        const char* parameters;
    };
    const Case cases[] = {
        {R"("C:\My Tools\rcon.exe" -H1 -P2 -p3 "a \"b\" & c")", R"(C:\My Tools\rcon.exe)",
         R"(-H1 -P2 -p3 "a \"b\" & c")"},
        {"rcon.exe\t -Hx", "rcon.exe", "-Hx"},
        {R"("unterminated)", "unterminated", ""},
        {R"("")", "", ""},
    };
    for (const auto& c : cases) {
        const auto split = quorvane::platform::SplitProgram(c.line);
        EXPECT_EQ(split.program, c.program) << c.line;
        EXPECT_EQ(split.parameters, c.parameters) << c.line;
    }
}

}  // namespace
