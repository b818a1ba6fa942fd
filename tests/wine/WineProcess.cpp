#include "WineProcess.h"

#include <signal.h>

#include "WineEnvironment.h"

namespace wine_testing {
namespace {

std::vector<std::string> WineArguments(const std::filesystem::path& program,
                                       const std::vector<std::string>& arguments) {
    std::vector<std::string> all{program.string()};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return all;
}

}  // namespace

WineProcess::WineProcess(const std::filesystem::path& program,
                         const std::vector<std::string>& arguments,
                         const std::filesystem::path& workingDir)
    : process_(WineLoader(), WineArguments(program, arguments), workingDir, SIGINT) {}

bool WineProcess::WaitForOutput(const std::string& text, std::size_t count,
                                std::chrono::milliseconds patience) {
    return process_.WaitForOutput(text, count, patience);
}

testing_support::ProcessResult WineProcess::Wait(std::chrono::milliseconds patience) {
    testing_support::ProcessResult result;
    if (const auto exitCode = process_.Wait(patience)) {
        result.exitCode = *exitCode;
    } else {
        result.timedOut = true;
        process_.Kill();
    }
    result.output = Output();
    return result;
}

testing_support::ProcessResult WineProcess::Stop(std::chrono::milliseconds patience) {
    testing_support::ProcessResult result;
    result.exitCode = process_.Stop(patience);
    result.timedOut = result.exitCode < 0;
    result.output = Output();
    return result;
}

std::string WineProcess::Output() {
    // Windows programs end their lines with CR LF; the tests compare lines.
    const std::string raw = process_.Output();
    std::string lines;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (!(raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')) {
            lines += raw[i];
        }
    }
    return lines;
}

}  // namespace wine_testing
