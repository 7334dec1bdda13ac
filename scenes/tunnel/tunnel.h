#pragma once

#include <cstdint>

// The smoothed twist per layer, in degrees.
extern float twistAngle;

// One step of the twist toward the frame's mean brightness divided by 5.
void followTwist(std::int32_t frameBrightnessSum);

// The stack's geometry, shared with the bench-only limit variant: layer k is
// a square of layerSize at stackStart + k * layerSpacing along Z, turned by k
// twists, its outline a little outside it.
constexpr int layerCount = 80;
constexpr float stackStart = -4;
constexpr float layerSpacing = 0.1f;
constexpr float layerSize = 0.5f;
constexpr float outlineLow = -0.01f;
constexpr float outlineHigh = 0.51f;

// Display mode 0 draws pictures and outlines, 1 outlines only, 2 pictures only.
inline bool drawsPictures(std::int32_t mode) { return mode == 0 || mode == 2; }
inline bool drawsOutlines(std::int32_t mode) { return mode == 0 || mode == 1; }
