#pragma once

#include <cstddef>
#include <cstdint>

// Turning a camera or video picture of any size into the capture frame, for
// an agent whose media library does not crop and scale: the largest centred
// part with the frame's 4:3 shape, averaged down (or repeated up) to
// captureFrameWidth by captureFrameHeight.

struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;
};

// The largest centred 4:3 part of a `width` by `height` picture of square
// pixels; empty when the picture is.
PixelRect centredFourThirds(int width, int height);

// Scales the `crop` part of a picture whose pixels are `bytesPerPixel` bytes
// starting blue, green, red (3 or 4), with row r at firstRow + r * stride
// (a negative stride for pictures stored bottom row first), into `bgr`:
// packed 3-byte pixels, top row first, captureFrameWidth * 3 bytes a row.
// Each frame pixel is the rounded mean of the picture pixels it covers.
void scaleToCaptureFrame(const std::uint8_t* firstRow, std::ptrdiff_t stride, int bytesPerPixel,
                         const PixelRect& crop, std::uint8_t* bgr);
