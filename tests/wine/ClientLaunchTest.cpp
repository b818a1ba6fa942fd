// Broadcast texts that cmd.exe would have taken for commands: cmd.exe toggles its quote state
// at every quotation mark and knows no \" escape, so after an odd number of marks & | < > ^
// act, and %NAME% expands even inside quotes. The DLL starts the client with CreateProcessW,
// on a line written from its arguments; under Wine each text must arrive exactly as written,
// with no file made and no other command run. The same texts through `cmd.exe /C` and the
// plugin's old command line show that the corpus is dangerous there.

#include <gtest/gtest.h>

#include <algorithm>

#include "TestListener.h"
#include "WindowsServerDir.h"
#include "WineEnvironment.h"
#include "WineProcess.h"

namespace {

using namespace std::chrono_literals;
using wine_testing::WindowsPath;
using wine_testing::WindowsServerDir;
using Texts = std::vector<std::string>;

constexpr const char* kEventCommand = "StartWorldEvent meteor 1000 -2000 350";

struct Case {
    bool inLabel;         // the event's label (the template is "{Eventlabel}"), else the template
    std::string text;     // as configured
    std::string arrives;  // at the listener: a line feed goes as the two characters \n
    // What `cmd.exe /C` made of the old command line: the file it created, if any, and
    // whether the text that arrived differed.
    std::string cmdCreates;
    bool cmdChangesText;
};

const Case kCases[] = {
    // Balanced marks keep & quoted even for cmd.exe: harmless there too.
    {false, R"(Boss "fight" & echo pwned > pwned.txt)", R"(Boss "fight" & echo pwned > pwned.txt)",
     "", false},
    {false, R"(Boss "fight & echo pwned > pwned.txt)", R"(Boss "fight & echo pwned > pwned.txt)",
     "pwned.txt", true},
    {true, R"(a"|echo piped> piped.txt)", R"(a"|echo piped> piped.txt)", "piped.txt", true},
    {false, R"(x" > out.txt & "y)", R"(x" > out.txt & "y)", "out.txt", true},
    {false, "%PATH% and \"%WINDIR%\"", "%PATH% and \"%WINDIR%\"", "", true},
    {true, R"(^"&echo caret> caret.txt)", R"(^"&echo caret> caret.txt)", "caret.txt", true},
    {false, R"(a" <nul)", R"(a" <nul)", "", true},
    {true, "Line one\n\"Line two > two.txt", R"(Line one\n"Line two > two.txt)", "two.txt", true},
    // Texts a getopt-style client takes for options unless "--" comes first: on the old line
    // they never arrived at all.
    {false, "--", "--", "", true},
    {false, "-p x -H y", "-p x -H y", "", true},
    {true, "-pvp zone event-", "-pvp zone event-", "", true},
};

Texts CommandsOf(const rcon_testing::TestListener& listener) {
    Texts commands;
    for (const auto& command : listener.Commands()) {
        commands.push_back(command.command);
    }
    return commands;
}

Texts FilesIn(const std::filesystem::path& folder) {
    Texts files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(ClientLaunchTest, ShellCharactersReachTheClientAsText) {
    const auto windowsBin = wine_testing::WindowsProgram("GameServer.exe").parent_path();
    for (const auto& c : kCases) {
        rcon_testing::TestListener own("pw");
        WindowsServerDir dir;
        auto config =
            wine_testing::IslandConfig(WindowsPath(dir.InstallClient()), own.Port(), 1000);
        if (c.inLabel) {
            config["BroadcastStartEventMessage"] = "{Eventlabel}";
            config["Island"]["RandomEvents"]["meteor"]["Eventlabel"] = c.text;
        } else {
            config["BroadcastStartEventMessage"] = c.text;
        }
        dir.WriteConfig(config);
        auto filesAfter = dir.Files();
        filesAfter.push_back("ArkApi/Logs/ArkApi.log");
        // The events started, one line each, written at the latest when the plugin unloads.
        filesAfter.push_back("ArkApi/Plugins/Quorvane/events.jsonl");
        std::sort(filesAfter.begin(), filesAfter.end());
        const auto binBefore = FilesIn(windowsBin);

        wine_testing::WineProcess server(
            wine_testing::WindowsProgram("GameServer.exe"),
            {"-serverkey=Island", "--time-scale=600", "--unload-at-exit"}, dir.Path());
        ASSERT_TRUE(own.Listener().WaitForCommands(2, 60s)) << c.text << "\n" << server.Output();
        const auto result = server.Stop();
        EXPECT_EQ(CommandsOf(own), (Texts{kEventCommand, c.arrives})) << c.text;
        EXPECT_EQ(dir.Files(), filesAfter) << c.text;
        EXPECT_EQ(FilesIn(windowsBin), binBefore) << c.text;
        // A server that does not stop cleanly would not for the next text either.
        ASSERT_EQ(result.exitCode, 0) << c.text << "\n" << result.output;
    }
}

// The plugin's command line before the mend, `cmd.exe /C ""client" -H.. -P.. -p.. "text""`,
// in a fresh folder: the files cmd.exe made there, and the text the client received.
TEST(ClientLaunchTest, CmdExeRunsTheSameTextsAsCommands) {
    for (const auto& c : kCases) {
        rcon_testing::TestListener own("pw");
        WindowsServerDir dir;
        // The text as the plugin puts it on the line: " as \" (a line feed is already \n).
        std::string escaped;
        for (const char ch : c.arrives) {
            escaped += ch == '"' ? std::string(R"(\")") : std::string(1, ch);
        }
        const std::string line = "cmd.exe /C \"\"" + WindowsPath(dir.InstallClient()) +
                                 "\" -H127.0.0.1 -P" + std::to_string(own.Port()) + " -ppw \"" +
                                 escaped + "\"\"";
        auto filesAfter = dir.Files();
        if (!c.cmdCreates.empty()) {
            filesAfter.push_back(c.cmdCreates);
            std::sort(filesAfter.begin(), filesAfter.end());
        }
        const auto result = wine_testing::RunCommandLine(line, dir.Path());
        EXPECT_EQ(dir.Files(), filesAfter) << line << "\n" << result.output;
        if (c.cmdChangesText) {
            EXPECT_NE(CommandsOf(own), Texts{c.arrives}) << line << "\n" << result.output;
        } else {
            EXPECT_EQ(CommandsOf(own), Texts{c.arrives}) << line << "\n" << result.output;
        }
    }
}

}  // namespace
