#pragma once

#include <cstdint>

// The frame data shared by the frame source and the scenes. Images are
// 256 x 256 RGBA (red, green, blue, alpha at increasing addresses), rows
// `imageRowBytes` apart, with the frame in the top-left corner; everything
// outside the frame stays zero.
constexpr int imageSize = 256;
constexpr int imageBytesPerPixel = 4;
constexpr int imageRowBytes = imageSize * imageBytesPerPixel;
constexpr int imageBytes = imageSize * imageRowBytes;
// Far more than the 57,600 bytes of a frame. The vector conversion loads 16
// bytes for every 12 it uses, so it reads up to 4 bytes past the last pixel;
// without that slack it would fall back to the slower plain loop.
constexpr int rawFrameCapacity = 480000;
constexpr unsigned int noTextureYet = 0xFFFFFFFFu;

extern std::int32_t frameWidth;
extern std::int32_t frameHeight;
extern std::uint8_t rawFrame[rawFrameCapacity];
extern std::uint8_t stagingImage[imageBytes];
extern std::uint8_t smoothedImage[imageBytes];
extern std::uint32_t videoTexture;
extern std::int32_t brightnessSum;

constexpr int maxChannelSum = 3 * 255;
// The alpha of every pixel under AlphaRule::evenTranslucency.
constexpr std::uint8_t constantAlphaValue = 110;

// How a program derives a pixel's alpha from s = r + g + b.
enum class AlphaRule {
    brightness,         // s / 3
    inverseBrightness,  // (765 - s) / 3
    evenTranslucency,   // constantAlphaValue, so every pixel is equally see-through
};

// The per-program variant of the frame source.
struct CaptureSettings {
    AlphaRule alphaRule;
    float blendFactor;   // share of the gap to the new frame closed per pass
    bool uploadTexture;  // bind and refill `videoTexture` every pass
};

constexpr float defaultBlendFactor = 0.1f;
constexpr float slowBlendFactor = 1.0f / 70.0f;

// Converts the frame in `rawFrame` into `stagingImage` (which is cleared
// first) and recomputes `brightnessSum`.
void convertFrame(AlphaRule rule);

// Moves every frame byte of `smoothedImage` one step toward `stagingImage`.
void smoothFrame(float blendFactor);

// The exact result of one smoothing step of a single byte.
std::uint8_t blendByte(std::uint8_t oldValue, std::uint8_t newValue, float blendFactor);

// One pass of the frame source: reads the capture file into `rawFrame`,
// converts, smooths and, where the program asks for it, uploads the texture.
// Needs a current GL context.
void updateFrame(const CaptureSettings& settings);

// Colours reach GL as the byte divided by 256, so 255 gives 0.99609375.
constexpr float colorPerByte = 0.00390625f;
// Texture coordinates of a frame edge: pixels divided by the image size.
constexpr float texturePerPixel = 0.00390625f;

inline float byteColor(std::uint8_t value) { return float(double(value) * double(colorPerByte)); }

// Texture extent of `pixels` frame pixels, stored in single precision.
inline float frameTextureExtent(std::int32_t pixels) {
    return float(double(pixels) * double(texturePerPixel));
}

// The RGBA pixel of a 256 x 256 image at row y, column x.
inline const std::uint8_t* imagePixel(const std::uint8_t* image, int y, int x) {
    return image + y * imageRowBytes + x * imageBytesPerPixel;
}
