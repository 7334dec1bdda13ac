#pragma once

#include "viewer.h"

// A program's row with its scene swapped for a bench-only drawing of the same
// picture.
inline ViewerSettings withScene(const ViewerSettings& row, void (*drawScene)(Viewer&)) {
    ViewerSettings limit = row;
    limit.drawScene = drawScene;
    return limit;
}

// Draws `count` vertices of `mode` from client arrays: positions of 3 floats,
// and, where given, colours of 4 floats and texture coordinates of 2.
void drawArrays(unsigned mode, int count, const float* positions, const float* colors,
                const float* texCoords);
