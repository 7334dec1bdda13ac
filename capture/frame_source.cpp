#include "frame_source.h"

#include <GL/gl.h>

#include <cstring>

#include "capture_file.h"

std::int32_t frameWidth = 0;
std::int32_t frameHeight = 0;
std::uint8_t rawFrame[rawFrameCapacity] = {};
std::uint8_t stagingImage[imageBytes] = {};
std::uint8_t smoothedImage[imageBytes] = {};
std::uint32_t videoTexture = noTextureYet;
std::int32_t brightnessSum = 0;

namespace {

constexpr int maxChannelSum = 3 * 255;
constexpr std::uint8_t constantAlpha = 110;

int alphaFor(AlphaRule rule, int channelSum) {
    switch (rule) {
        case AlphaRule::brightness: return channelSum / 3;
        case AlphaRule::inverseBrightness: return (maxChannelSum - channelSum) / 3;
        case AlphaRule::constant110: return constantAlpha;
    }
    return 0;
}

}  // namespace

void convertFrame(AlphaRule rule) {
    std::memset(stagingImage, 0, sizeof stagingImage);
    brightnessSum = 0;
    for (int y = 0; y < frameHeight; ++y) {
        for (int x = 0; x < frameWidth; ++x) {
            const std::uint8_t* bgr = rawFrame + (y * frameWidth + x) * captureBytesPerPixel;
            const int b = bgr[0], g = bgr[1], r = bgr[2];
            const int s = r + g + b;
            std::uint8_t* rgba = stagingImage + y * imageRowBytes + x * imageBytesPerPixel;
            rgba[0] = std::uint8_t(r);
            rgba[1] = std::uint8_t(g);
            rgba[2] = std::uint8_t(b);
            rgba[3] = std::uint8_t(alphaFor(rule, s));
            brightnessSum += s / 3;
        }
    }
}

std::uint8_t blendByte(std::uint8_t oldValue, std::uint8_t newValue, float blendFactor) {
    // Widened to double first: the product and sum are then exact, and the
    // truncation toward zero decides where a rising byte stalls.
    const double old = oldValue;
    const double step = (double(newValue) - old) * double(blendFactor);
    return std::uint8_t(int(old + step));
}

void smoothFrame(float blendFactor) {
    for (int y = 0; y < frameHeight; ++y) {
        std::uint8_t* smoothedRow = smoothedImage + y * imageRowBytes;
        const std::uint8_t* stagingRow = stagingImage + y * imageRowBytes;
        for (int i = 0; i < frameWidth * imageBytesPerPixel; ++i) {
            smoothedRow[i] = blendByte(smoothedRow[i], stagingRow[i], blendFactor);
        }
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
