#pragma once
// The game's colours: 8-bit sRGB (FColor) and linear floats (FLinearColor).

#include <cstdint>

struct FColor {
    std::uint8_t B = 0;
    std::uint8_t G = 0;
    std::uint8_t R = 0;
    std::uint8_t A = 0;
    constexpr FColor() = default;
    constexpr FColor(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a = 255)
        : B(b), G(g), R(r), A(a) {}
};

struct FLinearColor {
    float R = 0;
    float G = 0;
    float B = 0;
    float A = 0;
    constexpr FLinearColor() = default;
    constexpr FLinearColor(float r, float g, float b, float a = 1.0f) : R(r), G(g), B(b), A(a) {}
    // The game converts from sRGB; a plain scale is all a stand-in needs.
    constexpr FLinearColor(const FColor& c)
        : R(c.R / 255.0f), G(c.G / 255.0f), B(c.B / 255.0f), A(c.A / 255.0f) {}
};
