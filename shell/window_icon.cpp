#include "window_icon.h"

#include <png.h>

std::optional<RgbaImage> decodePng(const EncodedImage& png) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, png.data, png.size)) return std::nullopt;
    image.format = PNG_FORMAT_RGBA;
    RgbaImage out;
    out.width = int(image.width);
    out.height = int(image.height);
    out.pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    return out;
}

std::vector<unsigned long> netWmIconData(std::span<const RgbaImage> images) {
    std::vector<unsigned long> data;
    for (const RgbaImage& image : images) {
        data.push_back(static_cast<unsigned long>(image.width));
        data.push_back(static_cast<unsigned long>(image.height));
        const std::size_t count = std::size_t(image.width) * std::size_t(image.height);
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t* p = &image.pixels[4 * i];
            data.push_back(static_cast<unsigned long>(p[3]) << 24 |
                           static_cast<unsigned long>(p[0]) << 16 |
                           static_cast<unsigned long>(p[1]) << 8 | p[2]);
        }
    }
    return data;
}
