#include "window_icon.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A 2 x 1 RGBA PNG: (255, 0, 128, 255) then (1, 2, 3, 0).
const unsigned char twoPixelPng[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44,
    0x52, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00, 0x00, 0xf4,
    0x22, 0x7f, 0x8a, 0x00, 0x00, 0x00, 0x11, 0x49, 0x44, 0x41, 0x54, 0x78, 0xda, 0x63, 0xf8,
    0xcf, 0xd0, 0xf0, 0x9f, 0x91, 0x89, 0x99, 0x01, 0x00, 0x10, 0x0c, 0x02, 0x85, 0x93, 0x38,
    0xde, 0xf4, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

TEST(WindowIconTest, DecodesAPngToRgbaTopRowFirst) {
    const auto image = decodePng({twoPixelPng, sizeof twoPixelPng});
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->width, 2);
    EXPECT_EQ(image->height, 1);
    EXPECT_EQ(image->pixels, (std::vector<std::uint8_t>{255, 0, 128, 255, 1, 2, 3, 0}));
}

TEST(WindowIconTest, RefusesWhatIsNotAWholePng) {
    const unsigned char text[] = "not a picture";
    EXPECT_FALSE(decodePng({text, sizeof text}).has_value());
    // Cut inside the image data: the header reads, the pixels do not.
    EXPECT_FALSE(decodePng({twoPixelPng, 50}).has_value());
    EXPECT_FALSE(decodePng({twoPixelPng, 0}).has_value());
}

TEST(WindowIconTest, NetWmIconHoldsEachImageAsSizeThenArgbPixels) {
    const RgbaImage images[] = {
        {.width = 2, .height = 1, .pixels = {255, 0, 128, 255, 1, 2, 3, 0}},
        {.width = 1, .height = 1, .pixels = {0x10, 0x20, 0x30, 0x80}},
    };
    EXPECT_EQ(netWmIconData(images),
              (std::vector<unsigned long>{2, 1, 0xffff0080, 0x00010203, 1, 1, 0x80102030}));
    EXPECT_TRUE(netWmIconData({}).empty());
}

}  // namespace
