#include "events/EventRandom.h"

#include <utility>

namespace quorvane {
namespace {

// Lemire's multiply-and-reject: uniform over [0, range) for range >= 1.
std::uint32_t Bounded(std::mt19937& engine, std::uint32_t range) {
    const auto next = [&engine] { return static_cast<std::uint32_t>(engine()); };
    std::uint64_t product = std::uint64_t{next()} * range;
    if (static_cast<std::uint32_t>(product) < range) {
        const std::uint32_t threshold = (0u - range) % range;
        while (static_cast<std::uint32_t>(product) < threshold) {
            product = std::uint64_t{next()} * range;
        }
    }
    return static_cast<std::uint32_t>(product >> 32);
}

}  // namespace

void EventRandom::Seed(std::uint32_t seed) {
    std::lock_guard lock(mutex_);
    engine_.seed(seed);
}

void EventRandom::SeedFromDevice() {
    std::random_device device;
    Seed(device());
}

std::int32_t EventRandom::Int(std::int32_t min, std::int32_t max) {
    if (min > max) {
        std::swap(min, max);
    }
    constexpr std::uint32_t kSignBit = 0x80000000u;
    const std::uint32_t lo = static_cast<std::uint32_t>(min) ^ kSignBit;
    const std::uint32_t hi = static_cast<std::uint32_t>(max) ^ kSignBit;
    const std::uint32_t span = hi - lo;
    std::lock_guard lock(mutex_);
    const std::uint32_t offset =
        span == UINT32_MAX ? static_cast<std::uint32_t>(engine_()) : Bounded(engine_, span + 1);
    return static_cast<std::int32_t>((lo + offset) ^ kSignBit);
}

std::uint32_t EventRandom::Index(std::uint32_t size) {
    std::lock_guard lock(mutex_);
    return Bounded(engine_, size);
}

std::mt19937 EventRandom::Engine() {
    std::lock_guard lock(mutex_);
    return engine_;
}

}  // namespace quorvane
