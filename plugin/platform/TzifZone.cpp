#include "platform/TzifZone.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/PosixTimeZone.h"

namespace quorvane::platform {
namespace {

using std::chrono::seconds;
using std::chrono::sys_seconds;

[[noreturn]] void Fail(const std::string& why) {
    throw std::runtime_error("not a zone file (TZif): " + why);
}

// Reads big-endian numbers from left to right, never past the end.
class Bytes {
  public:
    explicit Bytes(std::string_view bytes) : bytes_(bytes) {}

    std::string_view Take(std::size_t count) {
        if (count > bytes_.size() - at_) {
            Fail("it ends too early");
        }
        const auto taken = bytes_.substr(at_, count);
        at_ += count;
        return taken;
    }
    std::uint64_t Unsigned(std::size_t size) {
        std::uint64_t value = 0;
        for (const char c : Take(size)) {
            value = (value << 8) | static_cast<unsigned char>(c);
        }
        return value;
    }
    std::int64_t Signed(std::size_t size) {
        const std::uint64_t value = Unsigned(size);
        const std::uint64_t sign = std::uint64_t{1} << (8 * size - 1);
        // Two's complement of `size` bytes, with no step that overflows.
        if ((value & sign) == 0) {
            return static_cast<std::int64_t>(value);
        }
        return static_cast<std::int64_t>(value - sign) - static_cast<std::int64_t>(sign - 1) - 1;
    }
    std::string_view Rest() const { return bytes_.substr(at_); }

  private:
    std::string_view bytes_;
    std::size_t at_ = 0;
};

struct Header {
    char Version;
    std::uint32_t IsUtCount, IsStdCount, LeapCount, TimeCount, TypeCount, CharCount;
};

Header ReadHeader(Bytes& in) {
    if (in.Take(4) != "TZif") {
        Fail("no \"TZif\" at its start");
    }
    Header h{};
    h.Version = in.Take(1)[0];
    if (h.Version != '\0' && (h.Version < '2' || h.Version > '9')) {
        Fail("an unknown version");
    }
    in.Take(15);
    for (auto* count :
         {&h.IsUtCount, &h.IsStdCount, &h.LeapCount, &h.TimeCount, &h.TypeCount, &h.CharCount}) {
        *count = static_cast<std::uint32_t>(in.Unsigned(4));
    }
    if (h.TypeCount == 0 || h.CharCount == 0 || (h.IsUtCount != 0 && h.IsUtCount != h.TypeCount) ||
        (h.IsStdCount != 0 && h.IsStdCount != h.TypeCount)) {
        Fail("counts that do not fit together");
    }
    if (h.LeapCount != 0) {
        Fail("leap seconds");
    }
    return h;
}

struct Type {
    seconds Offset;
    std::string Abbreviation;
};

class TzifRules final : public ZoneRules {
  public:
    TzifRules(std::vector<sys_seconds> times, std::vector<std::uint8_t> typeOf,
              std::vector<Type> types, std::optional<PosixTimeZone> footer)
        : times_(std::move(times)),
          typeOf_(std::move(typeOf)),
          types_(std::move(types)),
          footer_(std::move(footer)) {}

    ZoneOffset At(sys_seconds time) const override {
        // Before the first transition the first type holds; after the last, the footer's rule.
        const auto after = std::upper_bound(times_.begin(), times_.end(), time);
        if (after == times_.end() && footer_ && !times_.empty()) {
            auto out = footer_->At(time);
            out.Begin = (std::max)(out.Begin, times_.back());
            return out;
        }
        if (after == times_.end() && footer_) {
            return footer_->At(time);
        }
        const auto index = static_cast<std::size_t>(after - times_.begin());
        const Type& type = types_[index == 0 ? 0 : typeOf_[index - 1]];
        return {type.Offset, type.Abbreviation, index == 0 ? sys_seconds::min() : times_[index - 1],
                after == times_.end() ? sys_seconds::max() : *after};
    }

  private:
    std::vector<sys_seconds> times_;
    std::vector<std::uint8_t> typeOf_;
    std::vector<Type> types_;
    std::optional<PosixTimeZone> footer_;
};

}  // namespace

std::shared_ptr<const ZoneRules> ReadTzif(std::string_view bytes) {
    Bytes in(bytes);
    Header h = ReadHeader(in);
    std::size_t timeSize = 4;
    if (h.Version != '\0') {
        // The first block is for readers of 32-bit times only: the second has every time.
        in.Take(std::size_t{h.TimeCount} * 5 + std::size_t{h.TypeCount} * 6 + h.CharCount +
                h.IsStdCount + h.IsUtCount);
        h = ReadHeader(in);
        timeSize = 8;
    }
    std::vector<sys_seconds> times;
    for (std::uint32_t i = 0; i < h.TimeCount; ++i) {
        times.emplace_back(seconds(in.Signed(timeSize)));
        if (i > 0 && times[i] <= times[i - 1]) {
            Fail("transitions out of order");
        }
    }
    std::vector<std::uint8_t> typeOf;
    for (const char c : in.Take(h.TimeCount)) {
        typeOf.push_back(static_cast<std::uint8_t>(c));
        if (typeOf.back() >= h.TypeCount) {
            Fail("a transition to a type it does not have");
        }
    }
    struct RawType {
        std::int64_t Offset;
        std::size_t Abbreviation;
    };
    std::vector<RawType> raw;
    for (std::uint32_t i = 0; i < h.TypeCount; ++i) {
        const std::int64_t offset = in.Signed(4);
        in.Take(1);  // whether it is daylight saving: the offset says all the plugin needs
        raw.push_back({offset, static_cast<std::size_t>(in.Unsigned(1))});
        // Within a day and a few hours either way, as RFC 8536 has it.
        if (offset < -89999 || offset > 93599) {
            Fail("an offset beyond a day");
        }
    }
    const std::string_view chars = in.Take(h.CharCount);
    std::vector<Type> types;
    for (const auto& type : raw) {
        if (type.Abbreviation >= chars.size()) {
            Fail("an abbreviation outside its characters");
        }
        const auto rest = chars.substr(type.Abbreviation);
        const auto end = rest.find('\0');
        if (end == std::string_view::npos) {
            Fail("an abbreviation without its end");
        }
        types.push_back({seconds(type.Offset), std::string(rest.substr(0, end))});
    }
    in.Take(std::size_t{h.IsStdCount} + h.IsUtCount);
    std::optional<PosixTimeZone> footer;
    if (timeSize == 8) {
        const auto rest = in.Rest();
        if (rest.size() < 2 || rest[0] != '\n') {
            Fail("no footer");
        }
        const auto end = rest.find('\n', 1);
        if (end == std::string_view::npos) {
            Fail("a footer without its end");
        }
        if (end > 1) {
            footer.emplace(rest.substr(1, end - 1));
        }
    }
    return std::make_shared<TzifRules>(std::move(times), std::move(typeOf), std::move(types),
                                       std::move(footer));
}

}  // namespace quorvane::platform
