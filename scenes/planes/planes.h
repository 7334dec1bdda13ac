#pragma once

// The scene's geometry, shared with its bench-only limit variant: each
// square runs from -1 to 1 before this scale.
constexpr float planeScale = 0.7f;
