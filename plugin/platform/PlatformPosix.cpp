#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <ctime>
#include <fstream>
#include <iterator>
#include <string_view>
#include <system_error>
#include <thread>

#include "platform/Platform.h"

namespace quorvane::platform {
namespace {

// Decodes the UTF-8 sequence at bytes[i] into `cp`; its length, or 0 when ill-formed.
std::size_t DecodeUtf8(std::string_view bytes, std::size_t i, char32_t& cp) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        cp = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2, cp = lead & 0x1Fu, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, cp = lead & 0x0Fu, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, cp = lead & 0x07u, minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > bytes.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(bytes[i + k]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (next & 0x3Fu);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    return length;
}

// UTF-8 to UTF-16 code units, as Windows hands out its command line; an ill-formed byte
// becomes U+FFFD.
std::wstring Utf8ToUtf16(std::string_view bytes) {
    std::wstring out;
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t cp = 0;
        const std::size_t length = DecodeUtf8(bytes, i, cp);
        if (length == 0) {
            out += static_cast<wchar_t>(0xFFFD);
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (cp >> 10));
            out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<wchar_t>(cp);
        }
        i += length;
    }
    return out;
}

}  // namespace

std::vector<std::wstring> CommandLineArguments() {
    std::ifstream file("/proc/self/cmdline", std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<std::wstring> arguments;
    std::size_t start = 0;
    while (start < all.size()) {
        std::size_t end = all.find('\0', start);
        if (end == std::string::npos) {
            end = all.size();
        }
        arguments.push_back(Utf8ToUtf16(all.substr(start, end - start)));
        start = end + 1;
    }
    return arguments;
}

std::chrono::local_seconds ServerLocalTime(std::chrono::sys_seconds time) {
    using namespace std::chrono;
    const std::time_t seconds = system_clock::to_time_t(time);
    std::tm local{};
    localtime_r(&seconds, &local);
    const year_month_day day{year(local.tm_year + 1900), month(local.tm_mon + 1),
                             std::chrono::day(local.tm_mday)};
    return local_days(day) + hours(local.tm_hour) + minutes(local.tm_min) +
           std::chrono::seconds(local.tm_sec);
}

void WriteFileAtomically(const std::filesystem::path& file, std::string_view contents) {
    const auto fail = [&](const std::string& what) {
        throw std::system_error(errno, std::generic_category(), what + " " + file.string());
    };
    std::filesystem::path temporary = file;
    // Unique to this process and thread: other servers may share the folder.
    temporary += "." + std::to_string(getpid()) + "." +
                 std::to_string(std::hash<std::thread::id>()(std::this_thread::get_id())) + ".tmp";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        fail("cannot create a file beside");
    }
    for (std::size_t done = 0; done < contents.size();) {
        const ssize_t written = write(fd, contents.data() + done, contents.size() - done);
        if (written < 0 && errno != EINTR) {
            close(fd);
            unlink(temporary.c_str());
            fail("cannot write beside");
        }
        done += written > 0 ? static_cast<std::size_t>(written) : 0;
    }
    if (fsync(fd) != 0 || close(fd) != 0) {
        unlink(temporary.c_str());
        fail("cannot write beside");
    }
    if (rename(temporary.c_str(), file.c_str()) != 0) {
        unlink(temporary.c_str());
        fail("cannot replace");
    }
    // The rename itself lasts once the folder is on the disk.
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
    if (const int dir = open(folder.c_str(), O_RDONLY | O_CLOEXEC); dir >= 0) {
        fsync(dir);
        close(dir);
    }
}

std::wstring OwnModulePath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&OwnModulePath), &info) == 0 ||
        info.dli_fname == nullptr) {
        return {};
    }
    return Utf8ToUtf16(info.dli_fname);
}

}  // namespace quorvane::platform
