#include <immintrin.h>

#include "capture_file.h"
#include "vector_frame.h"

namespace {

constexpr int pixelsPerVector = 4;

// s / 3 for every s up to 765, as (s * 21846) >> 16 in each 32-bit lane.
constexpr int thirdMultiplier = 21846;

template <AlphaRule rule>
__attribute__((target("ssse3"))) void convertRows(int width, int height) {
    // Four BGR pixels (12 bytes) become four R, G, B, 0 lanes.
    const __m128i toRgb = _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
    const __m128i lowByte = _mm_set1_epi32(0xFF);
    const __m128i third = _mm_set1_epi32(thirdMultiplier);
    __m128i total = _mm_setzero_si128();
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* bgr = rawFrame + y * width * captureBytesPerPixel;
        std::uint8_t* rgba = stagingImage + y * imageRowBytes;
        for (int x = 0; x < width; x += pixelsPerVector) {
            // Reads 4 bytes past the four pixels; rawFrame is far larger
            // than a frame, so they are always there.
            const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + 3 * x));
            const __m128i rgb = _mm_shuffle_epi8(in, toRgb);
            const __m128i sum =
                _mm_add_epi32(_mm_add_epi32(_mm_and_si128(rgb, lowByte),
                                            _mm_and_si128(_mm_srli_epi32(rgb, 8), lowByte)),
                              _mm_srli_epi32(rgb, 16));
            const __m128i mean = _mm_srli_epi32(_mm_madd_epi16(sum, third), 16);
            total = _mm_add_epi32(total, mean);
            __m128i alpha;
            if constexpr (rule == AlphaRule::brightness) {
                alpha = mean;
            } else if constexpr (rule == AlphaRule::inverseBrightness) {
                const __m128i rest = _mm_sub_epi32(_mm_set1_epi32(maxChannelSum), sum);
                alpha = _mm_srli_epi32(_mm_madd_epi16(rest, third), 16);
            } else {
                alpha = _mm_set1_epi32(constantAlphaValue);
            }
            const __m128i out = _mm_or_si128(rgb, _mm_slli_epi32(alpha, 24));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(rgba + 4 * x), out);
        }
    }
    alignas(16) std::int32_t lanes[pixelsPerVector];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), total);
    brightnessSum = lanes[0] + lanes[1] + lanes[2] + lanes[3];
}

// gap / divisor for every gap up to 255, as (gap * multiplier) >> 16.
constexpr int tenthMultiplier = 6554;
constexpr int seventiethMultiplier = 937;
constexpr int bytesPerVector = 16;

// Sixteen bytes at a time: the gap between old and new in bytes, its share
// in 16-bit lanes, then old plus the share where the byte rises and old
// minus the share minus one where it falls.
template <int multiplier>
void smoothRows(int rowLength, int height) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i one = _mm_set1_epi8(1);
    const __m128i scale = _mm_set1_epi16(multiplier);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* smoothedRow = smoothedImage + y * imageRowBytes;
        const std::uint8_t* stagingRow = stagingImage + y * imageRowBytes;
        for (int i = 0; i < rowLength; i += bytesPerVector) {
            __m128i* target = reinterpret_cast<__m128i*>(smoothedRow + i);
            const __m128i oldBytes = _mm_loadu_si128(target);
            const __m128i newBytes =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(stagingRow + i));
            const __m128i high = _mm_max_epu8(oldBytes, newBytes);
            const __m128i gap = _mm_sub_epi8(high, _mm_min_epu8(oldBytes, newBytes));
            const __m128i shareLow = _mm_mulhi_epu16(_mm_unpacklo_epi8(gap, zero), scale);
            const __m128i shareHigh = _mm_mulhi_epu16(_mm_unpackhi_epi8(gap, zero), scale);
            const __m128i share = _mm_packus_epi16(shareLow, shareHigh);
            const __m128i up = _mm_add_epi8(oldBytes, share);
            const __m128i down = _mm_sub_epi8(_mm_sub_epi8(oldBytes, share), one);
            const __m128i rising = _mm_cmpeq_epi8(high, newBytes);
            _mm_storeu_si128(
                target, _mm_or_si128(_mm_and_si128(rising, up), _mm_andnot_si128(rising, down)));
        }
    }
}

}  // namespace

bool smoothFrameWithVectors(unsigned divisor) {
    const int rowLength = frameWidth * imageBytesPerPixel, height = frameHeight;
    if (rowLength % bytesPerVector != 0) return false;
    switch (divisor) {
        case 10: smoothRows<tenthMultiplier>(rowLength, height); return true;
        case 70: smoothRows<seventiethMultiplier>(rowLength, height); return true;
    }
    return false;
}

bool convertFrameWithVectors(AlphaRule rule) {
    static const bool available = __builtin_cpu_supports("ssse3");
    const int width = frameWidth, height = frameHeight;
    if (!available || width % pixelsPerVector != 0 ||
        width * height * captureBytesPerPixel + 16 > rawFrameCapacity) {
        return false;
    }
    switch (rule) {
        case AlphaRule::brightness: convertRows<AlphaRule::brightness>(width, height); break;
        case AlphaRule::inverseBrightness:
            convertRows<AlphaRule::inverseBrightness>(width, height);
            break;
        case AlphaRule::evenTranslucency:
            convertRows<AlphaRule::evenTranslucency>(width, height);
            break;
    }
    return true;
}
