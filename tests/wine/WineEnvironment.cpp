#include "WineEnvironment.h"

#include <cstdlib>
#include <fstream>
#include <random>

#include "WineProcess.h"

namespace wine_testing {
namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

std::string MissingEnvironment() {
    std::string missing;
    for (const char* name : {"QUORVANE_WINE", "QUORVANE_WIN_BUILD", "WINEPREFIX"}) {
        if (Variable(name).empty()) {
            missing += std::string(missing.empty() ? "" : ", ") + name;
        }
    }
    return missing;
}

std::filesystem::path WineLoader() {
    return Variable("QUORVANE_WINE");
}

std::filesystem::path WindowsProgram(const std::string& name) {
    return std::filesystem::path(Variable("QUORVANE_WIN_BUILD")) / "bin" / name;
}

std::filesystem::path WindowsPluginDir() {
    return std::filesystem::path(Variable("QUORVANE_WIN_BUILD")) / "server" / "ArkApi" / "Plugins" /
           "Quorvane";
}

std::string WindowsPath(const std::filesystem::path& path) {
    std::string text = "Z:" + std::filesystem::absolute(path).lexically_normal().string();
    for (char& c : text) {
        if (c == '/') {
            c = '\\';
        }
    }
    return text;
}

testing_support::ProcessResult RunWindows(const std::filesystem::path& program,
                                          const std::vector<std::string>& arguments,
                                          const std::filesystem::path& workingDir,
                                          std::chrono::milliseconds patience) {
    return WineProcess(program, arguments, workingDir).Wait(patience);
}

testing_support::ProcessResult RunCommandLine(const std::string& commandLine,
                                              const std::filesystem::path& workingDir,
                                              std::chrono::milliseconds patience) {
    // Beside the working directory, so that the directory itself holds only what the
    // started program made.
    const auto file = std::filesystem::temp_directory_path() /
                      ("quorvane-line-" + std::to_string(std::random_device()()) + ".txt");
    std::ofstream(file, std::ios::binary) << commandLine;
    auto result =
        RunWindows(WindowsProgram("run-line.exe"), {WindowsPath(file)}, workingDir, patience);
    std::filesystem::remove(file);
    return result;
}

}  // namespace wine_testing
