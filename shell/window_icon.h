#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "program_identity.h"

// An image as 8-bit red, green, blue and alpha, top row first.
struct RgbaImage {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;
};

// The PNG decoded, or nothing when it is not a readable PNG.
std::optional<RgbaImage> decodePng(const EncodedImage& png);

// The value of _NET_WM_ICON for these images: for each, its width, its
// height and its pixels as ARGB, one 32-bit value each. Xlib takes 32-bit
// property items as longs, whatever the size of a long.
std::vector<unsigned long> netWmIconData(std::span<const RgbaImage> images);
