// The zone files the plugin ships and reads where the system has no zone database (TZif,
// RFC 8536), and the POSIX rule of their footer: an input that starts with "TZif" is a zone
// file, any other a footer's rule. Never a crash, and the answer at any instant holds a stretch
// of time that contains it, with an offset within a day and a few hours.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string_view>

#include "Check.h"
#include "platform/PosixTimeZone.h"
#include "platform/TzifZone.h"

namespace {

using namespace std::chrono;
using fuzzing::Require;

void Probe(const quorvane::platform::ZoneRules& rules, std::string_view input) {
    std::int64_t fromInput = 0;
    std::memcpy(&fromInput, input.data(), (std::min)(input.size(), sizeof fromInput));
    for (const std::int64_t t :
         {std::int64_t{0}, std::int64_t{1'800'000'000}, std::int64_t{-2'208'988'800},
          std::int64_t{7'258'118'400}, std::int64_t{1} << 40, -(std::int64_t{1} << 40), fromInput,
          fromInput / 1'000'000'000, INT64_MIN / 2, INT64_MAX / 2}) {
        const sys_seconds at{seconds(t)};
        const auto answer = rules.At(at);
        Require(answer.Begin <= at && at < answer.End, "the stretch holds the instant");
        Require(abs(answer.Offset) < hours(26), "the offset is within a day and two hours");
    }
}

class Footer final : public quorvane::platform::ZoneRules {
  public:
    explicit Footer(std::string_view text) : rule_(text) {}
    quorvane::platform::ZoneOffset At(sys_seconds time) const override { return rule_.At(time); }

  private:
    quorvane::platform::PosixTimeZone rule_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    try {
        if (input.starts_with("TZif")) {
            Probe(*quorvane::platform::ReadTzif(input), input);
        } else {
            Probe(Footer(input), input);
        }
    } catch (const std::runtime_error&) {
        // Refused, with its reason: what the plugin reports for the zone.
    }
    return 0;
}
