// The server key from the command line's arguments.

#include <gtest/gtest.h>

#include "PluginHost.h"
#include "config/ServerKey.h"

namespace {

TEST(ServerKeyTest, FirstArgumentWithThePrefixWins) {
    testing_support::PluginHost host;
    struct Case {
        std::vector<std::wstring> arguments;
        std::string expected;
    };
    const Case cases[] = {
        {{L"server.exe", L"-serverkey=Island1"}, "Island1"},
        {{L"server.exe", L"-SERVERKEY=Island1"}, "Island1"},  // prefix case ignored
        {{L"server.exe", L"-ServerKey=MiXeD"}, "MiXeD"},      // value keeps its case
        {{L"server.exe", L"-serverkey=a", L"-serverkey=b"}, "a"},
        {{L"server.exe", L"-serverkey=", L"-serverkey=b"}, ""},  // empty value ends the scan
        {{L"server.exe", L"x-serverkey=a"}, ""},
        {{L"server.exe", L"x-serverkey=a", L"-serverkey=c"}, "c"},
        {{L"server.exe", L"-serverkey=My Server"}, "My Server"},
        {{L"server.exe", L"-serverkey= padded "}, " padded "},  // nothing trimmed
        {{L"-serverkey=fromProgramPath"}, "fromProgramPath"},   // argument 0 counts too
        {{L"server.exe", std::wstring(L"-serverkey=\u00CEle")}, "?le"},
        {{L"server.exe", std::wstring(L"-serverkey=") + wchar_t(0xD83D) + wchar_t(0xDE00)}, "??"},
        {{L"server.exe", L"-serverkey"}, ""},
        {{}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(quorvane::ServerKeyFrom(c.arguments), c.expected);
    }
}

}  // namespace
