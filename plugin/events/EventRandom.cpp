#include "events/EventRandom.h"

#include <mutex>
#include <utility>

namespace quorvane {
namespace {

// The host may run a timer's StartEvent while the game thread's BeginPlay schedules another
// chain: every draw takes the engine alone.
std::mutex& DrawMutex() {
    static std::mutex mutex;
    return mutex;
}

std::uint32_t NextOutput() {
    return static_cast<std::uint32_t>(EventRandom()());
}

// Lemire's multiply-and-reject: uniform over [0, range) for range >= 1.
std::uint32_t Bounded(std::uint32_t range) {
    std::uint64_t product = std::uint64_t{NextOutput()} * range;
    if (static_cast<std::uint32_t>(product) < range) {
        const std::uint32_t threshold = (0u - range) % range;
        while (static_cast<std::uint32_t>(product) < threshold) {
            product = std::uint64_t{NextOutput()} * range;
        }
    }
    return static_cast<std::uint32_t>(product >> 32);
}

}  // namespace

std::mt19937& EventRandom() {
    static std::mt19937 engine;
    return engine;
}

void SeedEventRandom() {
    std::random_device device;
    EventRandom().seed(device());
}

std::int32_t RandomInt(std::int32_t min, std::int32_t max) {
    std::lock_guard lock(DrawMutex());
    if (min > max) {
        std::swap(min, max);
    }
    constexpr std::uint32_t kSignBit = 0x80000000u;
    const std::uint32_t lo = static_cast<std::uint32_t>(min) ^ kSignBit;
    const std::uint32_t hi = static_cast<std::uint32_t>(max) ^ kSignBit;
    const std::uint32_t span = hi - lo;
    const std::uint32_t offset = span == UINT32_MAX ? NextOutput() : Bounded(span + 1);
    return static_cast<std::int32_t>((lo + offset) ^ kSignBit);
}

std::uint32_t RandomIndex(std::uint32_t size) {
    std::lock_guard lock(DrawMutex());
    return Bounded(size);
}

}  // namespace quorvane
