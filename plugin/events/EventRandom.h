#pragma once

#include <cstdint>
#include <random>

namespace quorvane {

// The one random engine behind every draw: default seed until Load reseeds it once.
std::mt19937& EventRandom();

// Seeds EventRandom with one value from the system's random device.
void SeedEventRandom();

// Uniform over [min, max], both included, by multiply-and-reject on 32-bit engine outputs.
// Reversed bounds are swapped. Takes at least one engine output.
std::int32_t RandomInt(std::int32_t min, std::int32_t max);

// Uniform index into a list of `size` entries (size >= 1); the draw of RandomInt(0, size - 1).
std::uint32_t RandomIndex(std::uint32_t size);

}  // namespace quorvane
