#pragma once
// Where the Wine tests find Wine and the Windows build, and how they start a Windows program.
// scripts/wine-tests.sh sets QUORVANE_WINE (the loader) and QUORVANE_WIN_BUILD (the MinGW
// build directory) and prepares WINEPREFIX.

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "Process.h"

namespace wine_testing {

// Empty when the environment is complete, else what is missing.
std::string MissingEnvironment();

std::filesystem::path WineLoader();
// A program of the Windows build's bin/ folder, e.g. "GameServer.exe".
std::filesystem::path WindowsProgram(const std::string& name);
// The plugin as the Windows build lays it out: server/ArkApi/Plugins/Quorvane/.
std::filesystem::path WindowsPluginDir();

// The Windows name of a Linux path: the prefix maps drive Z: to the root.
std::string WindowsPath(const std::filesystem::path& path);

// Runs a Windows program under Wine to its end (see WineProcess). Wine builds the Windows command
// line from `arguments` with its own quoting; use RunCommandLine where the exact line matters.
testing_support::ProcessResult RunWindows(
    const std::filesystem::path& program, const std::vector<std::string>& arguments,
    const std::filesystem::path& workingDir,
    std::chrono::milliseconds patience = std::chrono::seconds(60));

// Starts exactly `commandLine` through CreateProcessW (run-line.exe) in `workingDir`.
testing_support::ProcessResult RunCommandLine(
    const std::string& commandLine, const std::filesystem::path& workingDir,
    std::chrono::milliseconds patience = std::chrono::seconds(60));

}  // namespace wine_testing
