// argv-probe IN OUT: for every line of IN (a JSON string: one command line, any characters
// including CR and LF) writes one JSON object to OUT: {"line": the line, "shell32": what
// CommandLineToArgvW makes of it, "crt": the argv that the C runtime gives a program started with
// exactly that command line}. The second is what quorvane-rcon.exe sees, since it is built with the
// same toolchain and start-up code. For it the probe starts itself with the line; the child, told
// so by kChildVariable, prints its argv as a JSON array and ends. That argv is in the ANSI code
// page, so a character outside it cannot come back unchanged.

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

namespace {

constexpr const wchar_t* kChildVariable = L"QUORVANE_ARGV_PROBE_CHILD";

std::string ToUtf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? static_cast<std::size_t>(size) : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.resize(out.size() - 1);  // the terminating NUL
    return out;
}

std::wstring Widen(UINT codePage, const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    const int length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()),
                                           wide.data(), static_cast<int>(wide.size()));
    wide.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return wide;
}

nlohmann::json Shell32Split(const std::wstring& line) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(line.c_str(), &count);
    if (arguments == nullptr) {
        return nullptr;
    }
    nlohmann::json out = nlohmann::json::array();
    for (int i = 0; i < count; ++i) {
        out.push_back(ToUtf8(arguments[i]));
    }
    LocalFree(arguments);
    return out;
}

// Starts this program again with `line` as its whole command line and reads back the argv
// that the child's C runtime made of it; null when that fails.
nlohmann::json CrtSplit(const std::wstring& self, std::wstring line) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
        return nullptr;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(self.c_str(), line.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process);
    CloseHandle(writeEnd);
    std::string output;
    if (started) {
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &read, nullptr) && read > 0) {
            output.append(buffer, read);
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(readEnd);
    return started ? nlohmann::json::parse(output, nullptr, false) : nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    if (_wgetenv(kChildVariable) != nullptr) {
        nlohmann::json arguments = nlohmann::json::array();
        for (int i = 0; i < argc; ++i) {
            arguments.push_back(ToUtf8(Widen(CP_ACP, argv[i]).c_str()));
        }
        _setmode(_fileno(stdout), _O_BINARY);
        std::fputs(arguments.dump(-1, ' ', true).c_str(), stdout);
        return 0;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: argv-probe IN OUT\n");
        return 2;
    }
    wchar_t self[MAX_PATH * 4];
    GetModuleFileNameW(nullptr, self, static_cast<DWORD>(std::size(self)));
    SetEnvironmentVariableW(kChildVariable, L"1");

    std::ifstream in(argv[1], std::ios::binary);
    std::ofstream out(argv[2], std::ios::binary);
    if (!in || !out) {
        std::fprintf(stderr, "argv-probe: cannot open %s or %s\n", argv[1], argv[2]);
        return 2;
    }
    for (std::string entry; std::getline(in, entry);) {
        const auto line = nlohmann::json::parse(entry).get<std::string>();
        const std::wstring wide = Widen(CP_UTF8, line);
        out << nlohmann::json{{"line", line},
                              {"shell32", Shell32Split(wide)},
                              {"crt", CrtSplit(self, wide)}}
                   .dump(-1, ' ', true)
            << '\n';
    }
    return 0;
}
