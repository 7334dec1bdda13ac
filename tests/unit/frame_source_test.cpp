#include "frame_source.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>

namespace {

void resetFrameData() {
    frameWidth = 160;
    frameHeight = 120;
    std::memset(rawFrame, 0, sizeof rawFrame);
    std::memset(stagingImage, 0, sizeof stagingImage);
    std::memset(smoothedImage, 0, sizeof smoothedImage);
}

void fillFrame(std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    for (int i = 0; i < frameWidth * frameHeight; ++i) {
        rawFrame[i * 3 + 0] = blue;
        rawFrame[i * 3 + 1] = green;
        rawFrame[i * 3 + 2] = red;
    }
}

struct ConversionCase {
    AlphaRule rule;
    std::uint8_t blue, green, red;
    std::uint8_t alpha;
};

std::ostream& operator<<(std::ostream& out, const ConversionCase& c) {
    return out << int(c.rule) << ":" << int(c.blue) << "," << int(c.green) << "," << int(c.red);
}

class Conversion : public testing::TestWithParam<ConversionCase> {};

TEST_P(Conversion, SwapsToRgbaAndAppliesTheAlphaRule) {
    resetFrameData();
    const ConversionCase c = GetParam();
    fillFrame(c.blue, c.green, c.red);
    convertFrame(c.rule);
    for (int y : {0, 57, 119}) {
        for (int x : {0, 80, 159}) {
            const std::uint8_t* p = imagePixel(stagingImage, y, x);
            EXPECT_EQ(p[0], c.red);
            EXPECT_EQ(p[1], c.green);
            EXPECT_EQ(p[2], c.blue);
            EXPECT_EQ(p[3], c.alpha);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    AlphaRules, Conversion,
    testing::Values(ConversionCase{AlphaRule::brightness, 0, 0, 0, 0},
                    ConversionCase{AlphaRule::inverseBrightness, 0, 0, 0, 255},
                    ConversionCase{AlphaRule::evenTranslucency, 0, 0, 0, 110},
                    ConversionCase{AlphaRule::brightness, 255, 255, 255, 255},
                    ConversionCase{AlphaRule::inverseBrightness, 255, 255, 255, 0},
                    ConversionCase{AlphaRule::evenTranslucency, 255, 255, 255, 110},
                    ConversionCase{AlphaRule::brightness, 1, 1, 1, 1},
                    ConversionCase{AlphaRule::inverseBrightness, 1, 1, 1, 254},
                    // Only sums of 763 and more are fully transparent in teapot.
                    ConversionCase{AlphaRule::inverseBrightness, 252, 255, 255, 1},
                    ConversionCase{AlphaRule::inverseBrightness, 253, 255, 255, 0},
                    // Integer division rounds the mean down.
                    ConversionCase{AlphaRule::brightness, 10, 20, 32, 20}));

TEST(Conversion, NeverWritesOutsideTheFrameAndSumsBrightness) {
    resetFrameData();
    fillFrame(255, 255, 255);
    convertFrame(AlphaRule::evenTranslucency);
    EXPECT_EQ(brightnessSum, 4896000);
    EXPECT_EQ(imagePixel(stagingImage, 0, 160)[3], 0);
    EXPECT_EQ(imagePixel(stagingImage, 120, 0)[0], 0);
    EXPECT_EQ(imagePixel(stagingImage, 255, 255)[3], 0);

    // Each pixel adds its own rounded-down mean.
    resetFrameData();
    rawFrame[0] = 1;  // mean 1/3 -> 0
    rawFrame[3] = 2;
    rawFrame[4] = 2;                            // mean 4/3 -> 1
    rawFrame[(119 * 160 + 159) * 3 + 2] = 200;  // mean 66
    convertFrame(AlphaRule::brightness);
    EXPECT_EQ(brightnessSum, 67);
}

// Runs a steady target from `start` until the byte stops moving.
struct Settled {
    int value;
    int passes;
};

Settled settle(std::uint8_t start, std::uint8_t target, float factor) {
    std::uint8_t value = start;
    int passes = 0;
    for (;;) {
        const std::uint8_t next = blendByte(value, target, factor);
        if (next == value) return {value, passes};
        value = next;
        ++passes;
    }
}

struct SettleCase {
    float factor;
    std::uint8_t start, target;
    int settledAt, passes;
};

std::ostream& operator<<(std::ostream& out, const SettleCase& c) {
    return out << c.factor << ":" << int(c.start) << "->" << int(c.target);
}

class Smoothing : public testing::TestWithParam<SettleCase> {};

TEST_P(Smoothing, SettlesWhereTheTruncationStallsIt) {
    const SettleCase c = GetParam();
    const Settled s = settle(c.start, c.target, c.factor);
    EXPECT_EQ(s.value, c.settledAt);
    EXPECT_EQ(s.passes, c.passes);
}

INSTANTIATE_TEST_SUITE_P(BlendFactors, Smoothing,
                         testing::Values(SettleCase{defaultBlendFactor, 0, 255, 246, 37},
                                         SettleCase{slowBlendFactor, 0, 255, 186, 120},
                                         SettleCase{defaultBlendFactor, 0, 110, 101, 28},
                                         // A byte whose target stays small never leaves zero.
                                         SettleCase{defaultBlendFactor, 0, 9, 0, 0},
                                         SettleCase{slowBlendFactor, 0, 69, 0, 0},
                                         SettleCase{defaultBlendFactor, 0, 10, 1, 1},
                                         SettleCase{slowBlendFactor, 0, 70, 1, 1},
                                         // Falling bytes always reach the target.
                                         SettleCase{defaultBlendFactor, 255, 0, 0, 36},
                                         SettleCase{slowBlendFactor, 186, 0, 0, 119},
                                         SettleCase{defaultBlendFactor, 200, 190, 190, 9}));

TEST(Smoothing, StepsExactlyInDoublePrecision) {
    // 10 - 1.0000000149 truncates to 8, not 9.
    EXPECT_EQ(blendByte(10, 0, defaultBlendFactor), 8);
    // Black alpha 255 fading in for teapot, pass by pass.
    std::uint8_t alpha = 0;
    const int expected[] = {25, 48, 68, 86};
    for (int value : expected) {
        alpha = blendByte(alpha, 255, defaultBlendFactor);
        EXPECT_EQ(alpha, value);
    }
    EXPECT_EQ(slowBlendFactor, 0.014285714f);
}

TEST(Smoothing, TouchesOnlyTheFrameRectangle) {
    resetFrameData();
    std::memset(stagingImage, 200, sizeof stagingImage);
    smoothFrame(defaultBlendFactor);
    EXPECT_EQ(imagePixel(smoothedImage, 0, 0)[0], 20);
    EXPECT_EQ(imagePixel(smoothedImage, 119, 159)[3], 20);
    EXPECT_EQ(imagePixel(smoothedImage, 0, 160)[0], 0);
    EXPECT_EQ(imagePixel(smoothedImage, 120, 0)[0], 0);
}

}  // namespace

namespace {

// Every (old, new) byte pair, laid out over the frame rectangle, must come
// out of the whole-image smoothing exactly as the single-byte step gives it.
TEST(Smoothing, WholeImageStepMatchesTheExactStepForEveryBytePair) {
    for (float factor : {defaultBlendFactor, slowBlendFactor, 0.25f}) {
        resetFrameData();
        int pair = 0;
        for (int y = 0; y < frameHeight; ++y) {
            for (int i = 0; i < frameWidth * imageBytesPerPixel; ++i, ++pair) {
                smoothedImage[y * imageRowBytes + i] = std::uint8_t((pair >> 8) & 0xFF);
                stagingImage[y * imageRowBytes + i] = std::uint8_t(pair & 0xFF);
            }
        }
        ASSERT_GE(pair, 256 * 256);
        smoothFrame(factor);
        pair = 0;
        for (int y = 0; y < frameHeight && pair < 256 * 256; ++y) {
            for (int i = 0; i < frameWidth * imageBytesPerPixel && pair < 256 * 256; ++i, ++pair) {
                const std::uint8_t oldValue = std::uint8_t(pair >> 8), newValue = pair & 0xFF;
                const double exact =
                    double(oldValue) + (double(newValue) - oldValue) * double(factor);
                ASSERT_EQ(smoothedImage[y * imageRowBytes + i], std::uint8_t(int(exact)))
                    << "factor " << factor << ", old " << int(oldValue) << ", new "
                    << int(newValue);
            }
        }
    }
}

TEST(Conversion, MatchesThePixelRuleOnAVariedFrame) {
    for (AlphaRule rule :
         {AlphaRule::brightness, AlphaRule::inverseBrightness, AlphaRule::evenTranslucency}) {
        resetFrameData();
        std::uint32_t seed = 12345;
        for (std::size_t i = 0; i < std::size_t(160 * 120 * 3); ++i) {
            seed = seed * 1664525u + 1013904223u;
            rawFrame[i] = std::uint8_t(seed >> 24);
        }
        convertFrame(rule);
        std::int32_t sum = 0;
        for (int y = 0; y < 120; ++y) {
            for (int x = 0; x < 160; ++x) {
                const std::uint8_t* bgr = rawFrame + (y * 160 + x) * 3;
                const int s = bgr[0] + bgr[1] + bgr[2];
                const int alpha = rule == AlphaRule::brightness          ? s / 3
                                  : rule == AlphaRule::inverseBrightness ? (765 - s) / 3
                                                                         : 110;
                const std::uint8_t* p = imagePixel(stagingImage, y, x);
                ASSERT_EQ(p[0], bgr[2]);
                ASSERT_EQ(p[1], bgr[1]);
                ASSERT_EQ(p[2], bgr[0]);
                ASSERT_EQ(p[3], alpha) << "pixel " << x << "," << y;
                sum += s / 3;
            }
        }
        EXPECT_EQ(brightnessSum, sum);
    }
}

}  // namespace
