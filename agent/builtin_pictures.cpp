#include "builtin_pictures.h"

#include <array>

#include "capture_file.h"
#include "pattern_picture.h"

namespace {

using Bgr = std::array<std::uint8_t, 3>;

constexpr Bgr black = {0x00, 0x00, 0x00};
constexpr Bgr white = {0xFF, 0xFF, 0xFF};

// Colour bars as on a test card: seven bars at three quarters of full
// strength, a strip of their counterparts under them, and a foot with full
// white and black.
constexpr std::uint8_t barLevel = 0xBF;
constexpr std::array<Bgr, 7> topBars = {{{barLevel, barLevel, barLevel},
                                         {0x00, barLevel, barLevel},
                                         {barLevel, barLevel, 0x00},
                                         {0x00, barLevel, 0x00},
                                         {barLevel, 0x00, barLevel},
                                         {0x00, 0x00, barLevel},
                                         {barLevel, 0x00, 0x00}}};
constexpr std::array<Bgr, 7> middleBars = {{{barLevel, 0x00, 0x00},
                                            black,
                                            {barLevel, 0x00, barLevel},
                                            black,
                                            {barLevel, barLevel, 0x00},
                                            black,
                                            {barLevel, barLevel, barLevel}}};
constexpr std::array<Bgr, 4> footBlocks = {{{0x4A, 0x21, 0x00}, white, {0x6A, 0x00, 0x32}, black}};

void fill(const Bgr& colour, std::uint8_t* bgr, std::size_t stride) {
    for (int y = 0; y < captureFrameHeight; ++y) {
        std::uint8_t* out = bgr + std::size_t(y) * stride;
        for (int x = 0; x < captureFrameWidth; ++x, out += 3) {
            out[0] = colour[0];
            out[1] = colour[1];
            out[2] = colour[2];
        }
    }
}

void drawBars(std::uint8_t* bgr, std::size_t stride) {
    const int topEnd = captureFrameHeight * 2 / 3;
    const int middleEnd = captureFrameHeight * 3 / 4;
    for (int y = 0; y < captureFrameHeight; ++y) {
        std::uint8_t* out = bgr + std::size_t(y) * stride;
        for (int x = 0; x < captureFrameWidth; ++x, out += 3) {
            Bgr colour;
            if (y < topEnd) {
                colour = topBars[std::size_t(x * 7 / captureFrameWidth)];
            } else if (y < middleEnd) {
                colour = middleBars[std::size_t(x * 7 / captureFrameWidth)];
            } else {
                colour = footBlocks[std::size_t(x * 4 / captureFrameWidth)];
            }
            out[0] = colour[0];
            out[1] = colour[1];
            out[2] = colour[2];
        }
    }
}

}  // namespace

const std::vector<BuiltinSource>& builtinSources() {
    static const std::vector<BuiltinSource> sources = {
        {defaultPatternName, "flowing colours whose brightness drifts (the default)",
         BuiltinPicture::Pattern},
        {"bars", "still colour bars", BuiltinPicture::Bars},
        {"red", "solid red", BuiltinPicture::Red},
        {"green", "solid green", BuiltinPicture::Green},
        {"blue", "solid blue", BuiltinPicture::Blue},
        {"white", "solid white", BuiltinPicture::White},
        {"black", "solid black", BuiltinPicture::Black},
        {"blink", "black and white in turn, one frame each", BuiltinPicture::Blink},
    };
    return sources;
}

const BuiltinSource* findBuiltinSource(const std::string& name) {
    for (const BuiltinSource& source : builtinSources()) {
        if (name == source.name) return &source;
    }
    return nullptr;
}

void drawBuiltinPicture(BuiltinPicture picture, std::uint64_t index, double seconds,
                        std::uint8_t* bgr, std::size_t stride) {
    switch (picture) {
        case BuiltinPicture::Pattern: renderPattern(seconds, bgr, stride); return;
        case BuiltinPicture::Bars: drawBars(bgr, stride); return;
        case BuiltinPicture::Red: fill({0x00, 0x00, 0xFF}, bgr, stride); return;
        case BuiltinPicture::Green: fill({0x00, 0xFF, 0x00}, bgr, stride); return;
        case BuiltinPicture::Blue: fill({0xFF, 0x00, 0x00}, bgr, stride); return;
        case BuiltinPicture::White: fill(white, bgr, stride); return;
        case BuiltinPicture::Black: fill(black, bgr, stride); return;
        case BuiltinPicture::Blink: fill(index % 2 == 0 ? black : white, bgr, stride); return;
    }
}
