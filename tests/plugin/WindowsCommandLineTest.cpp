// The Windows command line written from the client's arguments: exact lines for the texts
// that matter, and for random arguments the split of the line gives them back.

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

#include "CommandLineSplit.h"
#include "platform/WindowsCommandLine.h"

namespace {

using quorvane::platform::WindowsCommandLine;
using testing_support::SplitCommandLine;
using Args = std::vector<std::string>;

constexpr const char* kClient = R"(C:\rcon\mcrcon.exe)";

Args ClientRun(const std::string& password, const std::string& text) {
    return {kClient, "-H10.0.0.5", "-P27020", "-p" + password, text};
}

TEST(WindowsCommandLineTest, WritesExactLines) {
    struct Case {
        Args arguments;
        const char* line;
    };
    const Case cases[] = {
        // An ordinary broadcast: the line the client has always been given.
        {ClientRun("secret", "Meteor on The Island at 75.000000 / 25.000000"),
         R"("C:\rcon\mcrcon.exe" -H10.0.0.5 -P27020 -psecret "Meteor on The Island at 75.000000 / 25.000000")"},
        {ClientRun("secret", R"(The "Big" Meteor)"),
         R"("C:\rcon\mcrcon.exe" -H10.0.0.5 -P27020 -psecret "The \"Big\" Meteor")"},
        // Backslashes double only before a mark or the closing quote.
        {ClientRun("s", R"(ends in C:\dir\)"),
         R"("C:\rcon\mcrcon.exe" -H10.0.0.5 -P27020 -ps "ends in C:\dir\\")"},
        {ClientRun("s", R"(two \\" and)"),
         R"("C:\rcon\mcrcon.exe" -H10.0.0.5 -P27020 -ps "two \\\\\" and")"},
        {ClientRun("s", R"(Warning \" saveworld)"),
         R"("C:\rcon\mcrcon.exe" -H10.0.0.5 -P27020 -ps "Warning \\\" saveworld")"},
        {ClientRun("s", R"(C:\a\\b \n)"),
         R"("C:\rcon\mcrcon.exe" -H10.0.0.5 -P27020 -ps "C:\a\\b \n")"},
        // The text is always quoted: one argument even when it looks like an option or is empty.
        {ClientRun("s", "-= Meteor =- incoming"),
         R"("C:\rcon\mcrcon.exe" -H10.0.0.5 -P27020 -ps "-= Meteor =- incoming")"},
        {ClientRun("s", "-dash"), R"("C:\rcon\mcrcon.exe" -H10.0.0.5 -P27020 -ps "-dash")"},
        {ClientRun("s", ""), R"("C:\rcon\mcrcon.exe" -H10.0.0.5 -P27020 -ps "")"},
        // Other arguments are quoted only when they must be.
        {ClientRun("p w", "x"), R"("C:\rcon\mcrcon.exe" -H10.0.0.5 -P27020 "-pp w" "x")"},
        {ClientRun("a\tb", "c\td"),
         "\"C:\\rcon\\mcrcon.exe\" -H10.0.0.5 -P27020 \"-pa\tb\" \"c\td\""},
        {ClientRun(R"(a"b\)", "x"), R"("C:\rcon\mcrcon.exe" -H10.0.0.5 -P27020 "-pa\"b\\" "x")"},
        {ClientRun(R"(a\\b\)", "x"), R"("C:\rcon\mcrcon.exe" -H10.0.0.5 -P27020 -pa\\b\ "x")"},
        {{kClient, "", "x"}, R"("C:\rcon\mcrcon.exe" "" "x")"},
        {ClientRun("s", "caf\xC3\xA9 %PATH% & | < > ^"),
         "\"C:\\rcon\\mcrcon.exe\" -H10.0.0.5 -P27020 -ps \"caf\xC3\xA9 %PATH% & | < > ^\""},
        // The program knows no escapes.
        {{R"(C:\Program Files\a\\b.exe)", "x"}, R"("C:\Program Files\a\\b.exe" "x")"},
        {{kClient}, R"("C:\rcon\mcrcon.exe")"},
        {{""}, R"("")"},
    };
    for (const auto& c : cases) {
        const std::string line = WindowsCommandLine(c.arguments);
        EXPECT_EQ(line, c.line);
        EXPECT_EQ(SplitCommandLine(line), c.arguments) << line;
    }
}

TEST(WindowsCommandLineTest, RefusesWhatNoLineCanCarry) {
    const Args cases[] = {
        {},
        {R"(C:\a"b.exe)", "x"},
        {"\"", "x"},
        {R"(C:\Program Files\rcon\)", "x"},
        {kClient, "-pa", std::string("te\0xt", 5)},
        {std::string("C:\\r\0.exe", 9), "x"},
    };
    for (const auto& arguments : cases) {
        EXPECT_THROW(WindowsCommandLine(arguments), std::invalid_argument)
            << (arguments.empty() ? "(none)" : arguments[0]);
    }
}

// Random bytes 1-255, mostly the ones the rules are about.
class ByteSource {
  public:
    std::string Text(std::size_t maxLength, bool quoteAllowed = true) {
        std::string text(rng_() % (maxLength + 1), ' ');
        for (char& c : text) {
            do {
                c = Byte();
            } while (!quoteAllowed && c == '"');
        }
        return text;
    }

  private:
    char Byte() {
        switch (rng_() % 10) {
            case 0:
            case 1:
            case 2:
                return '\\';
            case 3:
            case 4:
                return '"';
            case 5:
                return ' ';
            case 6:
                return '\t';
            default:
                return static_cast<char>(1 + rng_() % 255);
        }
    }

    std::mt19937 rng_{20240611};
};

TEST(WindowsCommandLineTest, SplitGivesRandomArgumentsBack) {
    ByteSource bytes;
    std::mt19937 shape{7};
    int trailingBackslashes = 0;
    int escapedMarks = 0;
    int highBytes = 0;
    int emptyTexts = 0;
    for (int run = 0; run < 40000; ++run) {
        Args arguments{bytes.Text(12, false)};
        while (arguments[0].ends_with('\\')) {
            arguments[0].pop_back();
        }
        if (run % 2 == 0) {
            arguments.insert(arguments.end(),
                             {"-H127.0.0.1", "-P27020", "-p" + bytes.Text(16), bytes.Text(40)});
        } else {
            for (auto extra = shape() % 6; extra > 0; --extra) {
                arguments.push_back(bytes.Text(16));
            }
        }
        const std::string line = WindowsCommandLine(arguments);
        ASSERT_EQ(SplitCommandLine(line), arguments) << line;

        const std::string& text = arguments.back();
        trailingBackslashes += text.size() > 1 && text.ends_with("\\\\");
        escapedMarks += text.find("\\\\\"") != std::string::npos;
        highBytes += text.find_first_of("\x80\xC3\xFF") != std::string::npos;
        emptyTexts += arguments.size() > 1 && text.empty();
    }
    // The cases worth having did come up.
    EXPECT_GT(trailingBackslashes, 100);
    EXPECT_GT(escapedMarks, 100);
    EXPECT_GT(highBytes, 10);
    EXPECT_GT(emptyTexts, 100);
}

}  // namespace
