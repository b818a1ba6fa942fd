// Arguments as Windows hands them to a program, for the RCON client started without cmd.exe.

#include <gtest/gtest.h>

#include "CommandLineSplit.h"

namespace {

using testing_support::SplitCommandLine;
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

}  // namespace
