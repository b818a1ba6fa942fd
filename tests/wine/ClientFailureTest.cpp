// The Windows client's one line when no connection can be made: Winsock reports a refused
// connect through select's failed set and SO_ERROR, where POSIX has poll and errno.

#include <gtest/gtest.h>

#include "ScriptedServer.h"
#include "WineEnvironment.h"

namespace {

TEST(ClientFailureTest, ARefusedConnectNamesTheAddressAndTheReason) {
    const std::string port = std::to_string(rcon_testing::UnusedPort());
    const auto result = wine_testing::RunWindows(wine_testing::WindowsProgram("quorvane-rcon.exe"),
                                                 {"-H127.0.0.1", "-P" + port, "-psecret", "x"},
                                                 std::filesystem::temp_directory_path());
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(result.output,
              "quorvane-rcon: cannot connect to 127.0.0.1:" + port + ": Connection refused\n");
}

}  // namespace
