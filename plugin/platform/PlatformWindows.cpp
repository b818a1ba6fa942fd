// windows.h must come first.
#include <windows.h>

#include <shellapi.h>

#include <mutex>
#include <set>

#include "platform/CommandLineSplit.h"
#include "platform/Platform.h"

namespace quorvane::platform {
namespace {

// The clients being waited for, so that unloading can end them.
struct RunningCommands {
    std::mutex mutex;
    std::set<HANDLE> processes;
    bool ending = false;
};

RunningCommands& Running() {
    static RunningCommands running;
    return running;
}

}  // namespace

std::vector<std::wstring> CommandLineArguments() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr) {
        return {};
    }
    std::vector<std::wstring> out(arguments, arguments + count);
    LocalFree(arguments);
    return out;
}

std::wstring OwnModulePath() {
    HMODULE module = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&OwnModulePath), &module);
    wchar_t path[260] = {};
    const DWORD length = GetModuleFileNameW(module, path, 260);
    return std::wstring(path, length);
}

int RunShellCommand(std::string commandLine) {
    // The program and parameters that cmd.exe /C would have run, started without it: cmd.exe
    // knows no \" escape, so `& | < > ^` after an escaped quote in a broadcast would run as
    // commands, and it expands %NAME% even inside quotes. The client's arguments are the same.
    const ProgramLine launch = SplitProgram(StripOuterQuotes(commandLine));
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof(info);
    // No error dialog: on a server nobody would close it, and the worker would wait forever.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpFile = launch.program.c_str();
    info.lpParameters = launch.parameters.c_str();
    info.nShow = SW_HIDE;

    auto& running = Running();
    {
        std::lock_guard lock(running.mutex);
        if (running.ending || launch.program.empty()) {
            return -1;
        }
    }
    // Not under the lock: ShellExecuteExA may load modules and so wait for the loader lock,
    // which is held while the plugin unloads and ends the running commands.
    if (!ShellExecuteExA(&info) || info.hProcess == nullptr) {
        return -1;
    }
    {
        std::lock_guard lock(running.mutex);
        if (running.ending) {  // ended while the client was starting
            TerminateProcess(info.hProcess, 1);
            CloseHandle(info.hProcess);
            return -1;
        }
        running.processes.insert(info.hProcess);
    }
    WaitForSingleObject(info.hProcess, INFINITE);
    {
        std::lock_guard lock(running.mutex);
        running.processes.erase(info.hProcess);
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(info.hProcess, &exitCode);
    CloseHandle(info.hProcess);
    return static_cast<int>(exitCode);
}

void EndRunningCommands() {
    auto& running = Running();
    std::lock_guard lock(running.mutex);
    running.ending = true;
    for (HANDLE process : running.processes) {
        TerminateProcess(process, 1);
    }
}

}  // namespace quorvane::platform
