#include "Process.h"

#include "BackgroundProcess.h"

namespace testing_support {

ProcessResult RunProcess(const std::filesystem::path& program,
                         const std::vector<std::string>& arguments,
                         const std::filesystem::path& workingDir,
                         std::chrono::milliseconds timeout) {
    BackgroundProcess process(program, arguments, workingDir);
    ProcessResult result;
    if (const auto exitCode = process.Wait(timeout)) {
        result.exitCode = *exitCode;
    } else {
        result.timedOut = true;
        process.Kill();
    }
    result.output = process.Output();
    return result;
}

}  // namespace testing_support
