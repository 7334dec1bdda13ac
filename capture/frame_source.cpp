#include "frame_source.h"

#include <GL/gl.h>

#include "capture_file.h"
#include "vector_frame.h"

std::int32_t frameWidth = 0;
std::int32_t frameHeight = 0;
std::uint8_t rawFrame[rawFrameCapacity] = {};
std::uint8_t stagingImage[imageBytes] = {};
std::uint8_t smoothedImage[imageBytes] = {};
std::uint32_t videoTexture = noTextureYet;
std::int32_t brightnessSum = 0;

namespace {

template <AlphaRule rule>
int alphaFor(int channelSum) {
    if constexpr (rule == AlphaRule::brightness) return channelSum / 3;
    if constexpr (rule == AlphaRule::inverseBrightness) return (maxChannelSum - channelSum) / 3;
    if constexpr (rule == AlphaRule::evenTranslucency) return constantAlphaValue;
}

template <AlphaRule rule>
void convertRows() {
    // Locals: byte stores may alias the size globals, which would otherwise
    // be reloaded after every store and keep the loop from vectorising.
    const int width = frameWidth, height = frameHeight;
    std::int32_t sum = 0;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* bgr = rawFrame + y * width * captureBytesPerPixel;
        std::uint8_t* rgba = stagingImage + y * imageRowBytes;
        for (int x = 0; x < width; ++x, bgr += 3, rgba += 4) {
            const int b = bgr[0], g = bgr[1], r = bgr[2];
            const int s = r + g + b;
            rgba[0] = std::uint8_t(r);
            rgba[1] = std::uint8_t(g);
            rgba[2] = std::uint8_t(b);
            rgba[3] = std::uint8_t(alphaFor<rule>(s));
            sum += s / 3;
        }
    }
    brightnessSum = sum;
}

}  // namespace

// Only the frame rectangle of the staging image is ever written, and all of
// it is written in every pass, so the rest stays as zero as a full clear
// would leave it.
void convertFrame(AlphaRule rule) {
    if (convertFrameWithVectors(rule)) return;
    switch (rule) {
        case AlphaRule::brightness: convertRows<AlphaRule::brightness>(); break;
        case AlphaRule::inverseBrightness: convertRows<AlphaRule::inverseBrightness>(); break;
        case AlphaRule::evenTranslucency: convertRows<AlphaRule::evenTranslucency>(); break;
    }
}

std::uint8_t blendByte(std::uint8_t oldValue, std::uint8_t newValue, float blendFactor) {
    // Widened to double first: the product and sum are then exact, and the
    // truncation toward zero decides where a rising byte stalls.
    const double old = oldValue;
    const double step = (double(newValue) - old) * double(blendFactor);
    return std::uint8_t(int(old + step));
}

namespace {

// For a factor a hair above 1/N, as the single-precision 0.1 and 1/70 are,
// the truncating double-precision step is exact integer arithmetic: a rising
// byte gains a whole N-th of the gap, a falling one loses a whole N-th plus
// one (the excess over 1/N tips the sum just below the next integer).
// Written without branches on unsigned 16-bit values so that the compiler
// turns the row loop into vector code.
template <unsigned divisor>
std::uint8_t stepToward(std::uint8_t oldValue, std::uint8_t newValue) {
    const std::uint16_t o = oldValue, n = newValue;
    const std::uint16_t gap = std::uint16_t(o > n ? o - n : n - o);
    const std::uint16_t share = std::uint16_t(gap / divisor);
    return std::uint8_t(n >= o ? o + share : o - share - 1);
}

template <unsigned divisor>
bool integerStepMatches(float blendFactor) {
    for (int o = 0; o < 256; ++o) {
        for (int n = 0; n < 256; ++n) {
            if (stepToward<divisor>(std::uint8_t(o), std::uint8_t(n)) !=
                blendByte(std::uint8_t(o), std::uint8_t(n), blendFactor)) {
                return false;
            }
        }
    }
    return true;
}

// Applies `step` to every frame byte of the smoothed image and its staged
// counterpart.
template <typename Step>
void smoothRows(Step step) {
    const int rowLength = frameWidth * imageBytesPerPixel, height = frameHeight;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* smoothedRow = smoothedImage + y * imageRowBytes;
        const std::uint8_t* stagingRow = stagingImage + y * imageRowBytes;
        for (int i = 0; i < rowLength; ++i) smoothedRow[i] = step(smoothedRow[i], stagingRow[i]);
    }
}

}  // namespace

void smoothFrame(float blendFactor) {
    // The integer forms are checked once against the exact step over every
    // byte pair; any other factor takes the exact step itself.
    static const bool tenthsMatch = integerStepMatches<10>(defaultBlendFactor);
    static const bool seventiethsMatch = integerStepMatches<70>(slowBlendFactor);
    if (blendFactor == defaultBlendFactor && tenthsMatch) {
        if (!smoothFrameWithVectors(10)) smoothRows(stepToward<10>);
    } else if (blendFactor == slowBlendFactor && seventiethsMatch) {
        if (!smoothFrameWithVectors(70)) smoothRows(stepToward<70>);
    } else {
        smoothRows([blendFactor](std::uint8_t oldValue, std::uint8_t newValue) {
            return blendByte(oldValue, newValue, blendFactor);
        });
    }
}

void updateFrame(const CaptureSettings& settings) {
    const std::size_t frameBytes = std::size_t(frameWidth) * frameHeight * captureBytesPerPixel;
    readCaptureFile(rawFrame, frameBytes);
    convertFrame(settings.alphaRule);
    smoothFrame(settings.blendFactor);

    if (videoTexture == noTextureYet) glGenTextures(1, &videoTexture);
    if (settings.uploadTexture) {
        glBindTexture(GL_TEXTURE_2D, videoTexture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexImage2D(GL_TEXTURE_2D, 0, 4, imageSize, imageSize, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     smoothedImage);
    }
}
