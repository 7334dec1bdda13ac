#pragma once

#include <cstddef>
#include <cstdint>

// Copies a picture of 3-byte pixels whose rows start `stride` bytes apart
// (top row first, as decoders deliver them) into `dest` as tightly packed rows
// in the capture file's order: bottom row first, because the visualisers put
// the file's first row at texture t = 0, which is drawn at the bottom.
// `mirror` swaps left and right, as in a selfie view.
void packCaptureRows(const std::uint8_t* src, int width, int height, std::size_t stride,
                     bool mirror, std::uint8_t* dest);
