#pragma once

// The scene's geometry, shared with its bench-only limit variant.

// A colour value v in 0..255 lands at offset + scale * v.
constexpr float cubeOffset[3] = {-0.3f, -0.3f, -0.2f};
constexpr float cubeScale = 0.002f;
// On top of the cube's scale: an axis of length 100 reaches 40 units out,
// far past the picture before it fades out.
constexpr float axisScale = 200;
constexpr float axisLength = 100;
