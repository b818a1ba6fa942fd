// The host's loader reads PluginInfo.json as the framework does: field by field with typed
// defaults, the first wrong type ending the reading; an unread MinApiVersion refuses the
// plugin before its library is loaded, an unread later field fails after.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <string>

#include "GameCommands.h"
#include "GameMemory.h"
#include "GameMode.h"
#include "GameStrings.h"
#include "GameThread.h"
#include "Host/PluginLoader.h"
#include "Host/Timers.h"
#include "ModuleHooks.h"
#include "TestHost.h"

namespace {

const std::string kRead = "[AsaApi][warning] (API::PluginManager::ReadPluginInfo) ";
const std::string kRefused = "[AsaApi][warning] (API::PluginManager::LoadAllPlugins) ";

TEST(PluginLoaderTest, ReadsPluginInfoAsTheFrameworkDoes) {
    struct Case {
        const char* what;
        std::optional<std::string> info;  // no file when empty
        bool listed;
        std::vector<std::string> lines;
    };
    const std::string loaded = "[AsaApi][info] Loaded plugin RearmOnTimer V1 (No description)";
    const Case cases[] = {
        {"a text Version",
         R"({"FullName": "Rearm", "Version": "1.0.0", "MinApiVersion": 1.0})",
         false,
         {kRead + "[json.exception.type_error.302] type must be number, but is string",
          kRefused + "[json.exception.type_error.302] type must be number, but is null"}},
        {"numbers",
         R"({"FullName": "Rearm", "Version": 1.5, "MinApiVersion": 1.0})",
         true,
         {"[AsaApi][info] Loaded plugin Rearm V1.5 (No description)"}},
        {"no file", std::nullopt, true, {loaded}},
        {"not JSON",
         "Version: 1",
         false,
         {kRefused + "[json.exception.parse_error.101] parse error at line 1, column 1: syntax "
                     "error while parsing value - invalid literal; last read: 'V'"}},
        {"a newer framework",
         R"({"MinApiVersion": 2.04})",
         false,
         {kRefused + "Plugin RearmOnTimer requires newer API version!"}},
        {"this framework", R"({"MinApiVersion": 2.03})", true, {loaded}},
        // Read past MinApiVersion: the library is loaded, then the plugin fails.
        {"a text Dependencies",
         R"({"Dependencies": "Other"})",
         false,
         {kRead + "[json.exception.type_error.302] type must be array, but is string",
          kRefused + "[json.exception.type_error.302] type must be array, but is null"}},
        {"a text PreventUnloading",
         R"({"PreventUnloading": "yes"})",
         true,
         {kRead + "[json.exception.type_error.302] type must be boolean, but is string", loaded}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        http_testing::TestHost host;
        gameserver::RegisterGameMemory();
        http_testing::module_hooks::Reset("");
        const auto folder = host.Dir() / "ArkApi" / "Plugins" / "RearmOnTimer";
        std::filesystem::create_directories(folder);
        std::filesystem::copy_file(TIMER_TEST_MODULE_FILE, folder / "RearmOnTimer.so");
        if (c.info) {
            std::ofstream(folder / "PluginInfo.json") << *c.info;
        }
        host.Game().Run([] { asahost::LoadPlugins(); });
        EXPECT_EQ(asahost::LoadedPlugins().size(), c.listed ? 1u : 0u);
        EXPECT_EQ(host.Lines(), c.lines);
        host.Game().Run([] { asahost::UnloadPlugins(); });
    }
}

// The framework calls Plugin_Init once the library is loaded; what a library does in its load
// notification instead (on Windows, DllMain under the loader lock) is named.
TEST(PluginLoaderTest, NamesTheFrameworkCallsOfALoadNotification) {
    http_testing::TestHost host;
    gameserver::RegisterGameMemory();
    http_testing::module_hooks::Reset("");
    for (const auto& [name, file] : {std::pair{"AttachUsesFramework", ATTACH_TEST_MODULE_FILE},
                                     std::pair{"RearmOnTimer", TIMER_TEST_MODULE_FILE}}) {
        const auto folder = host.Dir() / "ArkApi" / "Plugins" / name;
        std::filesystem::create_directories(folder);
        std::filesystem::copy_file(file, folder / (std::string(name) + ".so"));
    }
    host.Game().Run([] { asahost::LoadPlugins(); });
    EXPECT_EQ(host.Lines(),
              (std::vector<std::string>{
                  "[AsaApi][warning] AttachUsesFramework used the framework in its load "
                  "notification, under the loader lock on Windows: GetAddress, "
                  "API::Timer::DelayExecute, "
                  "AsaApi::IApiUtils::GetStatus",
                  "[AsaApi][info] Loaded plugin AttachUsesFramework V1 (No description)",
                  "[AsaApi][info] Loaded plugin RearmOnTimer V1 (No description)"}));
    // RearmOnTimer armed its timer from Plugin_Init, which ran.
    EXPECT_TRUE(http_testing::module_hooks::WaitForTimers(1, std::chrono::seconds(10)));
    host.Game().Run([] { asahost::UnloadPlugins(); });
}

// The folder's stem names the plugin, and its folder and file are found in any letter case, as
// on Windows: "rearmontimer.old" loads the library of RearmOnTimer/ a second time, under a name
// of its own, and its Plugin_Init runs again. As the framework does, an unload drops the
// timers by the path built from the name, and the rest by the library, which stays loaded until
// both names are unloaded.
TEST(PluginLoaderTest, FindsPluginsInAnyLetterCaseAndNamesThemByTheFolderStem) {
    http_testing::HostSettings fast;
    fast.timeScale = 50;
    http_testing::TestHost host(fast);
    gameserver::RegisterGameMemory();
    namespace hooks = http_testing::module_hooks;
    hooks::Reset("");
    const auto plugins = host.Dir() / "ArkApi" / "Plugins";
    std::filesystem::create_directories(plugins / "RearmOnTimer");
    std::filesystem::create_directories(plugins / "rearmontimer.old");
    std::filesystem::copy_file(TIMER_TEST_MODULE_FILE,
                               plugins / "RearmOnTimer" / "rearmONtimer.so");
    host.Game().Run([] { asahost::LoadPlugins(); });
    EXPECT_EQ(host.Lines(), (std::vector<std::string>{
                                "[AsaApi][info] Loaded plugin RearmOnTimer V1 (No description)",
                                "[AsaApi][info] Loaded plugin rearmontimer V1 (No description)"}));
    const auto owners = [] {
        std::vector<std::string> out;
        for (const auto& timer : asahost::PendingTimers()) {
            out.push_back(std::filesystem::path(timer.owner)
                              .lexically_relative(
                                  std::filesystem::path(timer.owner).parent_path().parent_path())
                              .generic_string());
        }
        return out;
    };
    // Both Plugin_Init calls armed a timer, owned by the path the library was first loaded by.
    EXPECT_EQ(owners(), (std::vector<std::string>{"RearmOnTimer/RearmOnTimer.so",
                                                  "RearmOnTimer/RearmOnTimer.so"}));

    host.Game().Run([] { asahost::UnloadPlugin("rearmontimer"); });
    EXPECT_EQ(owners().size(), 2u);
    const int fired = hooks::TimersFired();
    EXPECT_TRUE(hooks::WaitForTimers(fired + 4, std::chrono::seconds(30)));  // still mapped

    host.Game().Run([] { asahost::UnloadPlugin("RearmOnTimer"); });
    EXPECT_TRUE(owners().empty());
    EXPECT_TRUE(asahost::LoadedPlugins().empty());
}

// A new library waiting as <Name>.so.ArkApi beside a plugin's replaces it: at the start before
// the load; while the server runs, with the framework's AutomaticPluginReloading, the world
// saved first, the plugin unloaded, the file copied over and removed, the plugin loaded again.
// The new library here is another plugin's, which answers test.echo.
TEST(PluginLoaderTest, ANewLibraryBesideAPluginReplacesIt) {
    struct Case {
        const char* what;
        std::optional<std::string> settings;  // the framework's config.json
        bool atStart;
        bool preventUnloading;
        bool replaced;
        std::vector<std::string> lines;
    };
    const std::string loaded = "[AsaApi][info] Loaded plugin RearmOnTimer V1 (No description)";
    const std::vector<std::string> reloaded = {"[AsaApi][info] Dropped timer rearm (0 s)",
                                               "[AsaApi][info] Reloaded plugin - RearmOnTimer"};
    const std::vector<std::string> saved = {"[AsaApi][info] Saving world before reloading plugins",
                                            "[AsaApi][info] AShooterGameMode.SaveWorld() ran",
                                            "[AsaApi][info] World saved."};
    const auto join = [](std::vector<std::string> a, const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const std::string every =
        R"("AutomaticPluginReloading": true, "AutomaticPluginReloadSeconds": 0)";
    const Case cases[] = {
        {"waiting at the start", std::nullopt, true, false, true, {loaded}},
        {"dropped in while it runs", "{\"settings\": {" + every + "}}", false, false, true,
         join(join({loaded}, saved), reloaded)},
        {"without saving the world",
         "{\"settings\": {" + every + R"(, "SaveWorldBeforePluginReload": false}})", false, false,
         true, join({loaded}, reloaded)},
        {"held back by PreventUnloading, with one warning",
         "{\"settings\": {" + every + "}}",
         false,
         true,
         false,
         {loaded,
          "[AsaApi][warning] Plugin 'RearmOnTimer' has PreventUnloading=true. Update pending - "
          "restart the server to apply RearmOnTimer.so.ArkApi."}},
        {"automatic reloading off",
         R"({"settings": {"HooksDoNotThrow": false}})",
         false,
         false,
         false,
         {loaded}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        http_testing::HostSettings fast;
        fast.timeScale = 50;
        http_testing::TestHost host(fast);
        gameserver::RegisterGameMemory();
        gameserver::RegisterGameStrings();
        gameserver::RegisterGameCommands();
        gameserver::RegisterGameMode();
        http_testing::module_hooks::Reset("");
        const auto folder = host.Dir() / "ArkApi" / "Plugins" / "RearmOnTimer";
        std::filesystem::create_directories(folder);
        std::filesystem::copy_file(TIMER_TEST_MODULE_FILE, folder / "RearmOnTimer.so");
        if (c.preventUnloading) {
            std::ofstream(folder / "PluginInfo.json") << R"({"PreventUnloading": true})";
        }
        if (c.settings) {
            std::ofstream(host.Dir() / "config.json") << *c.settings;
        }
        const auto update = folder / "RearmOnTimer.so.ArkApi";
        // Whole or not at all, as an admin's upload should be.
        const auto drop = [&] {
            std::filesystem::copy_file(COMMAND_TEST_MODULE_FILE, folder / "upload.tmp");
            std::filesystem::rename(folder / "upload.tmp", update);
        };
        if (c.atStart) {
            drop();
        }
        host.Game().Run([] { asahost::LoadPlugins(); });
        if (!c.atStart) {
            drop();
        }
        // Each game second looks again, at this time scale every 20 ms.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (c.replaced && std::filesystem::exists(update) &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(std::filesystem::exists(update), !c.replaced);
        EXPECT_EQ(host.Lines(), c.lines);
        std::optional<std::string> echo;
        host.Game().Run([&] {
            if (auto answer = gameserver::RunRconCommand("test.echo hi", 1).sent) {
                echo = answer->at(0).body;
            }
        });
        EXPECT_EQ(echo,
                  c.replaced ? std::optional<std::string>("echo: test.echo hi") : std::nullopt);
        host.Game().Run([] { asahost::UnloadPlugins(); });
    }
}

}  // namespace
