// The model of the Windows split (tests/support/CommandLineSplit) and the line writer
// (plugin/platform/WindowsCommandLine) against Windows' own splits: Wine's
// CommandLineToArgvW, and the C runtime start-up code that quorvane-rcon.exe is built with.
// argv-probe.exe splits each line both ways on the Windows side.

#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include <nlohmann/json.hpp>

#include "CommandLineSplit.h"
#include "WineEnvironment.h"
#include "platform/WindowsCommandLine.h"

namespace {

using quorvane::platform::WindowsCommandLine;
using testing_support::SplitCommandLine;
using wine_testing::WindowsPath;
using Args = std::vector<std::string>;

struct Probe {
    Args shell32;  // CommandLineToArgvW
    Args crt;      // argv of a MinGW program started with the line
};

// Each line split on the Windows side, in order.
std::vector<Probe> ProbeLines(const std::vector<std::string>& lines) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("quorvane-argv-" + std::to_string(std::random_device()()));
    std::filesystem::create_directories(dir);
    {
        std::ofstream in(dir / "lines.jsonl", std::ios::binary);
        for (const auto& line : lines) {
            in << nlohmann::json(line).dump() << '\n';
        }
    }
    const auto run = wine_testing::RunWindows(
        wine_testing::WindowsProgram("argv-probe.exe"),
        {WindowsPath(dir / "lines.jsonl"), WindowsPath(dir / "split.jsonl")}, dir);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    std::vector<Probe> probes;
    std::ifstream out(dir / "split.jsonl", std::ios::binary);
    for (std::string text; std::getline(out, text);) {
        const auto entry = nlohmann::json::parse(text);
        EXPECT_EQ(entry.at("line"), lines.at(probes.size()));
        probes.push_back({entry.at("shell32").get<Args>(), entry.at("crt").get<Args>()});
    }
    EXPECT_EQ(probes.size(), lines.size()) << run.output;
    std::filesystem::remove_all(dir);
    return probes;
}

TEST(ArgvSplitTest, SplitterMatchesCommandLineToArgvW) {
    const std::vector<std::string> lines = {
        // The program: quoted up to the next mark, text straight after it, no escapes.
        R"("C:\rcon\mcrcon.exe" -H127.0.0.1 -P27020 -ppw "Meteor at 1 / 2")",
        R"("C:\Program Files\x.exe"arg next)",
        R"("C:\Program Files\x.exe""quoted" tail)",
        R"("C:\a b\unterminated.exe)",
        R"(C:\x"y z"w a)",
        R"(C:\dir\prog.exe\ a)",
        R"("" a)",
        R"("prog")",
        " lead",
        // Backslashes: literal unless a run of them meets a quotation mark.
        R"(prog a\b a\\b c\)",
        R"(prog a\"b a\\"b c" a\\\"b a\\\\"b c")",
        R"(prog "a\\" b "c\\\" d" e)",
        R"(prog "trailing\\\\")",
        R"(prog trailing\\)",
        // Empty arguments and "" inside and outside quotes.
        R"(prog "" "" x)",
        R"(prog a""b "a""b" "a"""b c)",
        R"(prog """ """" """"" """""" """"""")",
        R"(prog """a b""" c)",
        R"(prog "a b"c" d)",
        R"(prog a"b c"d)",
        // Blanks: tabs count, runs collapse, a trailing one adds nothing.
        "prog\ta\t\t b \t",
        "prog \"tab\tinside\"\t\"\"",
        // Unterminated quotes run to the end of the line.
        R"(prog "unterminated \" quote)",
        R"(prog "a b)",
        R"(prog a\")",
        // What the plugin's lines look like: escaped marks, a literal \n, shell characters.
        R"("C:\My Tools\rcon.exe" -H1 -P2 -p3 "say \"hi\"\n & | < > ^ %PATH%")",
        R"("C:\r.exe" -H -P0 -p "")",
    };
    const auto probes = ProbeLines(lines);
    for (std::size_t i = 0; i < probes.size(); ++i) {
        EXPECT_EQ(SplitCommandLine(lines[i]), probes[i].shell32) << lines[i];
    }
}

// The line written from a client run's arguments gives the client exactly those arguments,
// through CommandLineToArgvW and through the C runtime alike.
TEST(ArgvSplitTest, WrittenLinesGiveTheClientItsArguments) {
    const std::string texts[] = {
        "Meteor on The Island at 75.000000 / 25.000000",
        R"(The "Big" Meteor)",
        R"(ends in C:\dir\)",
        R"(two \\" and)",
        R"(Warning \" saveworld)",
        "-= Meteor =- incoming",
        "-dash",
        "",
        "tab\there\t",
        "  blanks around  ",
        R"(line\nfeed)",
        // Runs of backslashes before quotation marks and at the end.
        R"(a\"b a\\"b a\\\"b a\\\\"b)",
        R"(\)",
        R"(\\)",
        R"(x\\\\\)",
        R"(\\"\\"\\)",
        R"(a\\\\"b)",
        R"(")",
        R"("")",
        R"(""")",
        R"(\")",
        R"("a" "" b""")",
        // What cmd.exe would act on.
        "%PATH% 100% \"%WINDIR%\"",
        "& | < > ^",
        R"(say "x" & echo pwned > pwned.txt)",
        "*.txt ?.exe",
        // Bytes that are no ASCII blank: non-ASCII letters, CR, other controls.
        "M\xC3\xA9t\xC3\xA9ore \xC3\xBC"
        "ber \xC3\x86r\xC3\xB8 \xE2\x80\x93 5 \xE2\x82\xAC",
        "one\rtwo\r",
        "\x01\x1B\x7F \v\f",
    };
    const std::string client = R"(C:\rcon\quorvane-rcon.exe)";
    std::vector<Args> runs;
    for (const auto& text : texts) {
        runs.push_back({client, "-H127.0.0.1", "-P27020", "-pp w", text});
    }
    // Other arguments awkward in their own ways; a program path with doubled backslashes
    // (Wine's C runtime applies the escape rule to the program too), an empty one.
    runs.push_back({client, "-H127.0.0.1", "-P27020", R"(-pa\"b\)", "x"});
    runs.push_back({client, "-H127.0.0.1", "-P27020", R"(-pa\\b\)", "x"});
    runs.push_back({client, "-H127.0.0.1", "-P27020", "-pa\rb\v\x01\xC3\xA9", "x"});
    runs.push_back({client, "-H", "", "-p", "-x"});
    runs.push_back({R"(C:\Program Files\a\\b\quorvane-rcon.exe)", "x"});
    runs.push_back({"", "x"});
    runs.push_back({client});

    std::vector<std::string> lines;
    for (const auto& run : runs) {
        lines.push_back(WindowsCommandLine(run));
    }
    const auto probes = ProbeLines(lines);
    for (std::size_t i = 0; i < probes.size(); ++i) {
        EXPECT_EQ(probes[i].shell32, runs[i]) << lines[i];
        EXPECT_EQ(probes[i].crt, runs[i]) << lines[i];
    }
}

}  // namespace
