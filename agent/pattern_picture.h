#pragma once

#include <cstddef>
#include <cstdint>

// The built-in moving picture shown when there is no camera: soft bands of
// colour that flow and ripple from a wandering centre. Hues turn slowly and
// the whole picture's brightness drifts between dim and bright spells, since
// some scenes react to the balance of bright and dark in the frame.

struct PatternDrift {
    double hueTurn;  // 0..1, a full turn of the colour wheel
    double gain;     // overall brightness, 1 = as designed
};

PatternDrift patternDriftAt(double seconds);

// Draws the picture at `seconds` as BGR pixels, top row first, rows `stride`
// bytes apart, captureFrameWidth by captureFrameHeight.
void renderPattern(double seconds, std::uint8_t* bgr, std::size_t stride);
