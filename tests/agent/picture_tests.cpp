#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <set>
#include <vector>

#include "builtin_pictures.h"
#include "camera_modes.h"
#include "capture_file.h"
#include "frame_scale.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Bgr = std::array<std::uint8_t, 3>;

constexpr std::size_t frameRowBytes = std::size_t(captureFrameWidth) * 3;

Bytes drawn(BuiltinPicture picture, std::uint64_t index) {
    Bytes frame(captureFrameBytes, 0x55);
    drawBuiltinPicture(picture, index, index / 30.0, frame.data(), frameRowBytes);
    return frame;
}

std::set<Bgr> coloursOf(const Bytes& frame) {
    std::set<Bgr> colours;
    for (std::size_t i = 0; i < frame.size(); i += 3) {
        colours.insert({frame[i], frame[i + 1], frame[i + 2]});
    }
    return colours;
}

TEST(BuiltinPictures, SolidColoursAreExactBgrEverywhere) {
    const std::vector<std::pair<const char*, Bgr>> cases = {
        {"red", {0x00, 0x00, 0xFF}},   {"green", {0x00, 0xFF, 0x00}}, {"blue", {0xFF, 0x00, 0x00}},
        {"white", {0xFF, 0xFF, 0xFF}}, {"black", {0x00, 0x00, 0x00}},
    };
    for (const auto& [name, colour] : cases) {
        SCOPED_TRACE(name);
        const BuiltinSource* source = findBuiltinSource(name);
        ASSERT_NE(source, nullptr);
        EXPECT_EQ(coloursOf(drawn(source->picture, 7)), std::set<Bgr>{colour});
    }
}

TEST(BuiltinPictures, BlinkAlternatesBlackAndWhiteFrameByFrame) {
    const BuiltinPicture blink = findBuiltinSource("blink")->picture;
    for (std::uint64_t index = 0; index < 4; ++index) {
        const std::uint8_t level = index % 2 == 0 ? 0x00 : 0xFF;
        EXPECT_EQ(coloursOf(drawn(blink, index)), (std::set<Bgr>{{level, level, level}}));
    }
}

TEST(BuiltinPictures, MovingPicturesChangeAndStillOnesDoNot) {
    const BuiltinPicture pattern = findBuiltinSource(defaultPatternName)->picture;
    EXPECT_NE(drawn(pattern, 0), drawn(pattern, 30));
    EXPECT_GT(coloursOf(drawn(pattern, 0)).size(), 50u);
    const BuiltinPicture bars = findBuiltinSource("bars")->picture;
    EXPECT_EQ(drawn(bars, 0), drawn(bars, 30));
    EXPECT_GE(coloursOf(drawn(bars, 0)).size(), 8u);
}

TEST(BuiltinPictures, OnlyKnownNamesAreFound) {
    EXPECT_EQ(findBuiltinSource("Red"), nullptr);
    EXPECT_EQ(findBuiltinSource(""), nullptr);
    for (const BuiltinSource& source : builtinSources()) {
        EXPECT_EQ(findBuiltinSource(source.name), &source);
    }
}

struct CropCase {
    int width, height;
    PixelRect expected;
};

TEST(FrameScale, CropsTheLargestCentredFourThirdsPart) {
    const std::vector<CropCase> cases = {
        {640, 480, {0, 0, 640, 480}},   {1920, 1080, {240, 0, 1440, 1080}},
        {480, 640, {0, 140, 480, 360}}, {160, 120, {0, 0, 160, 120}},
        {101, 75, {0, 0, 100, 75}},     {1, 1, {0, 0, 1, 0}},
        {0, 480, {0, 0, 0, 0}},
    };
    for (const CropCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        const PixelRect crop = centredFourThirds(c.width, c.height);
        EXPECT_EQ(crop.x, c.expected.x);
        EXPECT_EQ(crop.y, c.expected.y);
        EXPECT_EQ(crop.width, c.expected.width);
        EXPECT_EQ(crop.height, c.expected.height);
    }
}

// A picture of 4-byte pixels whose blue is its column and green its row,
// scaled from twice the frame's size: each frame pixel averages a 2 x 2 block.
TEST(FrameScale, AveragesTheCoveredPixelsTopRowFirst) {
    const int width = 2 * captureFrameWidth, height = 2 * captureFrameHeight;
    Bytes picture(std::size_t(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &picture[(std::size_t(y) * width + std::size_t(x)) * 4];
            p[0] = std::uint8_t(x % 256);
            p[1] = std::uint8_t(y);
            p[2] = 200;
            p[3] = 99;
        }
    }
    Bytes frame(captureFrameBytes);
    scaleToCaptureFrame(picture.data(), width * 4, 4, centredFourThirds(width, height),
                        frame.data());
    int wrong = 0;
    for (int y = 0; y < captureFrameHeight; ++y) {
        for (int x = 0; x < captureFrameWidth; ++x) {
            const std::uint8_t* f = &frame[std::size_t(y) * frameRowBytes + std::size_t(x) * 3];
            // (2x + 2x + 1) / 2 rounds half up.
            const int blue = ((2 * x) % 256 + (2 * x + 1) % 256 + 1) / 2;
            wrong += f[0] != blue || f[1] != 2 * y + 1 || f[2] != 200;
        }
    }
    EXPECT_EQ(wrong, 0);
}

// The same picture stored bottom row first, read through a negative stride,
// and a small 3-byte picture, which is repeated rather than averaged.
TEST(FrameScale, ReadsBottomUpRowsAndRepeatsSmallPictures) {
    const int width = 4, height = 3;
    Bytes bottomUp(std::size_t(width) * height * 3);
    for (int row = 0; row < height; ++row) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &bottomUp[(std::size_t(height - 1 - row) * width + x) * 3];
            p[0] = std::uint8_t(10 * row);
            p[1] = std::uint8_t(x);
            p[2] = 7;
        }
    }
    const std::uint8_t* top = bottomUp.data() + std::size_t(height - 1) * width * 3;
    Bytes frame(captureFrameBytes);
    scaleToCaptureFrame(top, -std::ptrdiff_t(width) * 3, 3, centredFourThirds(width, height),
                        frame.data());
    for (int y : {0, 39, 40, 119}) {
        for (int x : {0, 39, 40, 159}) {
            const std::uint8_t* f = &frame[std::size_t(y) * frameRowBytes + std::size_t(x) * 3];
            EXPECT_EQ(f[0], 10 * (y / 40)) << x << "," << y;
            EXPECT_EQ(f[1], x / 40) << x << "," << y;
            EXPECT_EQ(f[2], 7);
        }
    }
}

struct ModeCase {
    const char* what;
    std::vector<CameraMode> modes;
    int expected;
};

TEST(CameraModes, PrefersAModestRawModeThenJpegThenAnything) {
    using E = CameraEncoding;
    const std::vector<ModeCase> cases = {
        {"none", {}, -1},
        {"smallest modest raw mode",
         {{E::Raw, 1280, 720, 30},
          {E::Raw, 640, 480, 30},
          {E::Raw, 320, 240, 30},
          {E::Jpeg, 320, 240, 30}},
         2},
        {"higher rate on a tie", {{E::Raw, 320, 240, 15}, {E::Raw, 320, 240, 30}}, 1},
        {"too small or too slow is skipped",
         {{E::Raw, 80, 60, 30}, {E::Raw, 640, 480, 5}, {E::Raw, 640, 480, 30}},
         2},
        {"JPEG when raw is only large",
         {{E::Raw, 1920, 1080, 30}, {E::Jpeg, 1920, 1080, 30}, {E::Jpeg, 1280, 720, 30}},
         2},
        {"any raw before any JPEG", {{E::Jpeg, 1920, 1080, 60}, {E::Raw, 1920, 1080, 5}}, 1},
        {"the first when nothing is known",
         {{E::Other, 640, 480, 30}, {E::Other, 320, 240, 30}},
         0},
    };
    for (const ModeCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(chooseCameraMode(c.modes), c.expected);
    }
}

}  // namespace
