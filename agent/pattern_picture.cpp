#include "pattern_picture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "capture_file.h"

namespace {

constexpr double twoPi = 6.283185307179586;
constexpr int wave = 1024;  // steps in one period of the wave table
constexpr int waveMask = wave - 1;
constexpr int width = captureFrameWidth;
constexpr int height = captureFrameHeight;
constexpr int ringsWidth = 2 * width;

// Each term of the picture is a wave from this table, 0..255; four of them
// add up to a palette index. Integer tables keep a frame to a few hundred
// thousand simple operations.
const std::array<int, wave>& waveTable() {
    static const std::array<int, wave> table = [] {
        std::array<int, wave> values{};
        for (int i = 0; i < wave; ++i) {
            values[i] = int(std::lround(127.5 + 127.5 * std::sin(twoPi * i / wave)));
        }
        return values;
    }();
    return table;
}

// Wave phase by distance from the centre, over twice the frame in each
// direction, so any centre inside the frame is a window into it.
const std::vector<int>& ringTable() {
    static const std::vector<int> table = [] {
        std::vector<int> values(std::size_t(ringsWidth) * 2 * height);
        const double stepsPerPixel = wave / 55.0;
        for (int y = 0; y < 2 * height; ++y) {
            for (int x = 0; x < ringsWidth; ++x) {
                values[std::size_t(y) * ringsWidth + std::size_t(x)] =
                    int(std::hypot(x - width, y - height) * stepsPerPixel);
            }
        }
        return values;
    }();
    return table;
}

int phase(double cycles) { return int(std::lround((cycles - std::floor(cycles)) * wave)); }

// Steps in one turn of the colour wheel: a multiple of the palette's 256
// entries and of its three channels, so each lands on a step exactly.
constexpr int hueSteps = 256 * 3 * 8;

const std::array<double, hueSteps>& hueCosines() {
    static const std::array<double, hueSteps> table = [] {
        std::array<double, hueSteps> values{};
        for (int i = 0; i < hueSteps; ++i) values[i] = std::cos(twoPi * i / hueSteps);
        return values;
    }();
    return table;
}

// Brightness along the wheel, which the drift does not change.
const std::array<double, 256>& lightness() {
    static const std::array<double, 256> table = [] {
        std::array<double, 256> values{};
        for (int i = 0; i < 256; ++i) {
            values[i] = 0.15 + 0.85 * (0.5 + 0.5 * std::cos(twoPi * 2 * (i / 256.0)));
        }
        return values;
    }();
    return table;
}

// A colour wheel with dark and bright stretches, so every frame holds
// shadows and highlights as well as many hues. Tables keep it to lookups:
// it is made anew for every frame.
std::array<std::array<std::uint8_t, 3>, 256> paletteFor(const PatternDrift& drift) {
    const std::array<double, hueSteps>& cosines = hueCosines();
    const std::array<double, 256>& light = lightness();
    const int turn = int(std::lround(drift.hueTurn * hueSteps)) % hueSteps;
    std::array<std::array<std::uint8_t, 3>, 256> palette{};
    for (int i = 0; i < 256; ++i) {
        // Blue, green, red: three phases a third of a turn apart.
        for (int c = 0; c < 3; ++c) {
            const int step = (i * (hueSteps / 256) + turn + (2 - c) * (hueSteps / 3)) % hueSteps;
            const double channel = 0.5 + 0.5 * cosines[std::size_t(step)];
            const double value = 255.0 * channel * light[std::size_t(i)] * drift.gain;
            palette[i][c] = std::uint8_t(std::clamp(value, 0.0, 255.0));
        }
    }
    return palette;
}

}  // namespace

PatternDrift patternDriftAt(double seconds) {
    PatternDrift drift;
    drift.hueTurn = seconds / 40.0 - std::floor(seconds / 40.0);
    // Two slow periods that rarely line up, so dim and bright spells vary.
    drift.gain =
        1.05 + 0.35 * std::sin(twoPi * seconds / 23.0) + 0.1 * std::sin(twoPi * seconds / 7.3);
    return drift;
}

void renderPattern(double seconds, std::uint8_t* bgr, std::size_t stride) {
    const std::array<int, wave>& waves = waveTable();
    const std::vector<int>& rings = ringTable();
    const auto palette = paletteFor(patternDriftAt(seconds));

    std::array<int, width> across{};
    for (int x = 0; x < width; ++x) {
        across[x] = waves[(x * 3 + phase(seconds * 0.21)) & waveMask];
    }
    std::array<int, width + height> diagonal{};
    for (int d = 0; d < width + height; ++d) {
        diagonal[d] = waves[(d * 2 + phase(-seconds * 0.17)) & waveMask];
    }
    const int centreX = int(width / 2 + width * 0.38 * std::sin(seconds * 0.37));
    const int centreY = int(height / 2 + height * 0.38 * std::sin(seconds * 0.53 + 1.0));
    const int ringPhase = phase(-seconds * 0.45);

    for (int y = 0; y < height; ++y) {
        const int down = waves[(y * 4 + phase(seconds * 0.13)) & waveMask];
        const int* ringRow =
            rings.data() + std::size_t(y - centreY + height) * ringsWidth + (width - centreX);
        std::uint8_t* out = bgr + std::size_t(y) * stride;
        for (int x = 0; x < width; ++x) {
            const int sum =
                across[x] + down + diagonal[x + y] + waves[(ringRow[x] + ringPhase) & waveMask];
            // The sum wraps round the palette twice, spreading it evenly.
            const std::array<std::uint8_t, 3>& colour = palette[(sum >> 1) & 255];
            out[0] = colour[0];
            out[1] = colour[1];
            out[2] = colour[2];
            out += 3;
        }
    }
}
