// windows.h must come first.
#include <windows.h>

#include <mutex>
#include <set>
#include <stdexcept>

#include "platform/ClientEnv.h"
#include "platform/WindowsCommandLine.h"

namespace quorvane::platform {
namespace {

ClientExit NotStarted(std::string reason) {
    return {ClientExit::Kind::NotStarted, 0, std::move(reason)};
}

std::wstring Utf8ToUtf16(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

std::string SystemMessage(DWORD error) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string message = length > 0 ? std::string(text, length) : "error " + std::to_string(error);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    return message;
}

// A job that ends its processes when its last handle closes: when the plugin unloads, or when
// the server exits, however it exits, since Windows then closes the server's handles.
HANDLE KillOnCloseJob() {
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (job == nullptr) {
        return nullptr;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits))) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

// Client processes, and the ones being waited for, so that unloading can end them.
class WindowsClientEnv final : public ClientEnv {
  public:
    WindowsClientEnv() : job_(KillOnCloseJob()) {}
    ~WindowsClientEnv() override {
        if (job_ != nullptr) {
            CloseHandle(job_);
        }
    }
    ClientExit RunClient(const std::vector<std::string>& arguments,
                         std::chrono::milliseconds deadline) override;
    void EndClients() override;

  private:
    // Null when the system gives none: the clients then only end at their deadline.
    const HANDLE job_;
    std::mutex mutex_;
    std::set<HANDLE> processes_;
    bool ending_ = false;
};

ClientExit WindowsClientEnv::RunClient(const std::vector<std::string>& arguments,
                                       std::chrono::milliseconds deadline) {
    const auto until = std::chrono::steady_clock::now() + deadline;
    std::wstring line;
    try {
        // Written from the arguments by the exact inverse of the Windows rules, and started
        // without cmd.exe, which knows no \" escape and expands %NAME% even inside quotes.
        line = Utf8ToUtf16(WindowsCommandLine(arguments));
    } catch (const std::invalid_argument& e) {
        return NotStarted(e.what());
    }
    {
        std::lock_guard lock(mutex_);
        if (ending_) {
            return {ClientExit::Kind::Ended, 0, {}};
        }
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process{};
    // Not under the lock: starting a process may wait for the loader lock, which is held while
    // the plugin unloads.
    // Suspended until it is in the job, so that it cannot start a process outside it.
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr, nullptr, &startup,
                        &process)) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return NotStarted("client not found: " + arguments[0]);
        }
        return NotStarted("client not started: " + arguments[0] + ": " + SystemMessage(error));
    }
    if (job_ != nullptr) {
        AssignProcessToJobObject(job_, process.hProcess);
    }
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    {
        std::lock_guard lock(mutex_);
        processes_.insert(process.hProcess);
        if (ending_) {  // ended while it was starting
            TerminateProcess(process.hProcess, 1);
        }
    }
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    const DWORD wait = left.count() <= 0          ? 0
                       : left.count() >= INFINITE ? INFINITE - 1
                                                  : static_cast<DWORD>(left.count());
    const bool timedOut = WaitForSingleObject(process.hProcess, wait) == WAIT_TIMEOUT;
    if (timedOut) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    bool ended = false;
    {
        std::lock_guard lock(mutex_);
        processes_.erase(process.hProcess);
        ended = ending_;
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    if (timedOut) {
        return {ClientExit::Kind::TimedOut, 0, {}};
    }
    if (ended) {
        return {ClientExit::Kind::Ended, 0, {}};
    }
    return {ClientExit::Kind::Exited, static_cast<int>(exitCode), {}};
}

void WindowsClientEnv::EndClients() {
    std::lock_guard lock(mutex_);
    ending_ = true;
    for (HANDLE process : processes_) {
        TerminateProcess(process, 1);
    }
}

}  // namespace

std::unique_ptr<ClientEnv> SystemClientEnv() {
    return std::make_unique<WindowsClientEnv>();
}

}  // namespace quorvane::platform
