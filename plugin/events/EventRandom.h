#pragma once
// Everything of the plugin's that is left to chance: one MT19937 engine and its uniform
// draws. Pure.

#include <cstdint>
#include <mutex>
#include <random>

namespace quorvane {

class EventRandom {
  public:
    // The engine starts at the standard default seed, 5489.
    void Seed(std::uint32_t seed);
    // Seeds with one value from the system's random device.
    void SeedFromDevice();

    // Uniform over [min, max], both included, by multiply-and-reject on 32-bit engine outputs.
    // Reversed bounds are swapped. Takes at least one engine output.
    std::int32_t Int(std::int32_t min, std::int32_t max);
    // Uniform index into a list of `size` entries (size >= 1): the draw of Int(0, size - 1).
    std::uint32_t Index(std::uint32_t size);

    // The engine as it stands, for a comparison.
    std::mt19937 Engine();

  private:
    // A plugin loaded off the game thread may draw while the game thread does.
    std::mutex mutex_;
    std::mt19937 engine_;
};

}  // namespace quorvane
