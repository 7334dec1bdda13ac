#include "frame_pack.h"

#include <cstring>

void packCaptureRows(const std::uint8_t* src, int width, int height, std::size_t stride,
                     bool mirror, std::uint8_t* dest) {
    const std::size_t rowBytes = std::size_t(width) * 3;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = src + std::size_t(height - 1 - y) * stride;
        std::uint8_t* out = dest + std::size_t(y) * rowBytes;
        if (!mirror) {
            std::memcpy(out, in, rowBytes);
            continue;
        }
        for (int x = 0; x < width; ++x) {
            std::memcpy(out + std::size_t(x) * 3, in + std::size_t(width - 1 - x) * 3, 3);
        }
    }
}
