#pragma once

#include "frame_source.h"

// Vector versions of the frame source's per-pixel loops, giving the very
// same bytes as the plain loops. Each returns false, having done nothing,
// where the processor has no suitable vector unit; the caller then runs the
// plain loop.

// Converts `rawFrame` into `stagingImage` and sets `brightnessSum`.
bool convertFrameWithVectors(AlphaRule rule);

// Smooths with the integer step of a factor a hair above 1 / `divisor`
// (10 or 70), which the caller has found exact for its factor.
bool smoothFrameWithVectors(unsigned divisor);
