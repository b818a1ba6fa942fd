#include "platform/TimeZone.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <type_traits>

#include "platform/Clock.h"
#include "platform/Platform.h"
#include "platform/TzifZone.h"

namespace quorvane::platform {
namespace {

class System final : public WallClock {
  public:
    std::chrono::system_clock::time_point Now() const override {
        return std::chrono::system_clock::now();
    }
};
static_assert(std::is_trivially_destructible_v<System>);

class Utc final : public ZoneRules {
  public:
    ZoneOffset At(std::chrono::sys_seconds) const override {
        return {std::chrono::seconds(0), "UTC", std::chrono::sys_seconds::min(),
                std::chrono::sys_seconds::max()};
    }
};

// A zone name's parts as files below the folder: letters, digits, "_", "-", "+" and inner
// dots, never "." or "..", so that no name reaches outside it.
bool SafeName(const std::string& name) {
    if (name.empty() || name.front() == '/' || name.back() == '/') {
        return false;
    }
    std::size_t start = 0;
    while (start <= name.size()) {
        const auto end = (std::min)(name.find('/', start), name.size());
        const auto part = std::string_view(name).substr(start, end - start);
        if (part.empty() || part.front() == '.' ||
            !std::all_of(part.begin(), part.end(), [](char c) {
                return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '_' || c == '-' || c == '+' || c == '.';
            })) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

// `name` below `folder` in exactly its letter case, as on a file system that tells cases apart:
// a Windows server takes the same names as a Linux one.
std::optional<std::filesystem::path> FileOf(const std::filesystem::path& folder,
                                            const std::string& name) {
    std::filesystem::path at = folder;
    std::size_t start = 0;
    std::error_code error;
    while (start < name.size()) {
        const auto end = (std::min)(name.find('/', start), name.size());
        const std::string part = name.substr(start, end - start);
        bool found = false;
        for (std::filesystem::directory_iterator entry(at, error), last; !error && entry != last;
             entry.increment(error)) {
            if (entry->path().filename().string() == part) {
                found = true;
                break;
            }
        }
        if (!found) {
            return std::nullopt;
        }
        at /= part;
        start = end + 1;
    }
    return at;
}

std::string ReadSmallFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string bytes;
    // No zone file comes near this; a larger one is no zone file.
    constexpr std::size_t kLimit = 1 << 20;
    bytes.resize(kLimit + 1);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > kLimit) {
        throw std::runtime_error("not a zone file (TZif): it is too large");
    }
    return bytes;
}

// "the zone files shipped in FOLDER (tzdata 2025b)".
std::string ShippedDatabase(const std::filesystem::path& folder) {
    std::ifstream in(folder / "version");
    std::string version;
    std::getline(in, version);
    const bool known = !version.empty() && version.size() <= 16 &&
                       std::all_of(version.begin(), version.end(), [](char c) {
                           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z');
                       });
    return "the zone files shipped in " + folder.string() +
           (known ? " (tzdata " + version + ")" : "");
}

std::string NotAZone(const std::string& name) {
    return "\"" + name + "\" is not a time zone (an IANA name such as \"Europe/Berlin\")";
}

}  // namespace

const WallClock& SystemClock() {
    static const System clock;
    return clock;
}

std::chrono::local_seconds Zone::LocalTime(std::chrono::sys_seconds time) const {
    if (!rules_) {
        return ServerLocalTime(time);
    }
    return std::chrono::local_seconds((time + rules_->At(time).Offset).time_since_epoch());
}

ZoneOffset Zone::At(std::chrono::sys_seconds time) const {
    if (rules_) {
        return rules_->At(time);
    }
    const auto offset = ServerLocalTime(time).time_since_epoch() - time.time_since_epoch();
    return {offset, "", time, time + std::chrono::seconds(1)};
}

Zone FindZone(const std::string& name, const std::filesystem::path& shippedFolder) {
    const auto system = SystemZone(name);
    if (system.Rules) {
        return Zone(name, system.Rules, "the system's zone database");
    }
    std::error_code error;
    const bool shipped =
        !shippedFolder.empty() && std::filesystem::is_directory(shippedFolder, error);
    if (shipped && SafeName(name)) {
        if (const auto file = FileOf(shippedFolder, name);
            file && !std::filesystem::is_directory(*file, error)) {
            try {
                return Zone(name, ReadTzif(ReadSmallFile(*file)), ShippedDatabase(shippedFolder));
            } catch (const std::exception& e) {
                throw std::runtime_error("the zone file " + file->string() +
                                         " cannot be read: " + e.what());
            }
        }
    }
    if (name == "UTC" || name == "Etc/UTC") {
        return Zone(name, std::make_shared<Utc>(),
                    "the plugin itself (UTC needs no zone database)");
    }
    if (!shipped && !system.HasDatabase) {
        throw std::runtime_error(
            "\"" + name + "\" cannot be looked up: the server has no time-zone database, and " +
            (shippedFolder.empty()
                 ? std::string("no zone files are shipped")
                 : "the zone files shipped with the plugin are not in " + shippedFolder.string()));
    }
    throw std::runtime_error(NotAZone(name));
}

int LocalMinuteOfDay(std::chrono::system_clock::time_point time) {
    return MinuteOfDayIn(Zone(), time);
}

std::chrono::local_seconds LocalTimeIn(const Zone& zone, std::chrono::sys_seconds time) {
    return zone.LocalTime(time);
}

int MinuteOfDayIn(const Zone& zone, std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const local_seconds local = zone.LocalTime(floor<seconds>(time));
    return static_cast<int>(duration_cast<minutes>(local - floor<days>(local)).count());
}

std::vector<std::chrono::sys_seconds> UtcTimesOf(const Zone& zone,
                                                 std::chrono::local_seconds local) {
    using namespace std::chrono;
    // No zone is more than a day off UTC, and none changes its offset twice within two days: the
    // offsets a day either side are every offset that can show `local`.
    const sys_seconds asUtc{local.time_since_epoch()};
    std::vector<sys_seconds> out;
    for (const auto probe : {asUtc - days(1), asUtc + days(1)}) {
        const auto offset = zone.LocalTime(probe).time_since_epoch() - probe.time_since_epoch();
        const sys_seconds candidate = asUtc - offset;
        if (zone.LocalTime(candidate) == local &&
            std::find(out.begin(), out.end(), candidate) == out.end()) {
            out.push_back(candidate);
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace quorvane::platform
