#include "frame_scale.h"

#include <array>

#include "capture_file.h"

namespace {

// The picture's columns (or rows) [first, end) that make up each frame
// column (or row); at least one each, so a small picture is repeated.
template <std::size_t Count>
std::array<std::array<int, 2>, Count> spans(int offset, int length) {
    std::array<std::array<int, 2>, Count> result{};
    for (std::size_t i = 0; i < Count; ++i) {
        const int first = offset + int(i * std::size_t(length) / Count);
        int end = offset + int((i + 1) * std::size_t(length) / Count);
        if (end <= first) end = first + 1;
        result[i] = {first, end};
    }
    return result;
}

}  // namespace

PixelRect centredFourThirds(int width, int height) {
    PixelRect crop;
    if (width <= 0 || height <= 0) return crop;
    crop.width = width;
    crop.height = height;
    if (std::int64_t(width) * 3 > std::int64_t(height) * 4) {
        crop.width = int(std::int64_t(height) * 4 / 3);
        crop.x = (width - crop.width) / 2;
    } else {
        crop.height = int(std::int64_t(width) * 3 / 4);
        crop.y = (height - crop.height) / 2;
    }
    return crop;
}

void scaleToCaptureFrame(const std::uint8_t* firstRow, std::ptrdiff_t stride, int bytesPerPixel,
                         const PixelRect& crop, std::uint8_t* bgr) {
    const auto columns = spans<captureFrameWidth>(crop.x, crop.width);
    const auto rows = spans<captureFrameHeight>(crop.y, crop.height);
    std::uint8_t* out = bgr;
    for (const auto& [top, bottom] : rows) {
        for (const auto& [left, right] : columns) {
            std::array<unsigned, 3> sum{};
            for (int y = top; y < bottom; ++y) {
                const std::uint8_t* in =
                    firstRow + std::ptrdiff_t(y) * stride + std::ptrdiff_t(left) * bytesPerPixel;
                for (int x = left; x < right; ++x, in += bytesPerPixel) {
                    sum[0] += in[0];
                    sum[1] += in[1];
                    sum[2] += in[2];
                }
            }
            const unsigned count = unsigned((bottom - top) * (right - left));
            for (unsigned channel : sum) *out++ = std::uint8_t((channel + count / 2) / count);
        }
    }
}
