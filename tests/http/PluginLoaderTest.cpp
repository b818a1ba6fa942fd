// The host's loader reads PluginInfo.json as the framework does: field by field with typed
// defaults, the first wrong type ending the reading; an unread MinApiVersion refuses the
// plugin before its library is loaded, an unread later field fails after.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <string>

#include "GameMemory.h"
#include "GameThread.h"
#include "Host/PluginLoader.h"
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

}  // namespace
