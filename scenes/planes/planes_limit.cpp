// Bench-only: the three squares, already turned into place, as one array of
// quads.
#include <GL/gl.h>

#include "limit.h"
#include "planes.h"

extern const ViewerSettings planesSettings;

namespace {

// The facing square, then the same turned 90 degrees about Y ((x, y, z) to
// (z, y, -x)), then turned about X and Y ((x, y, z) to (y, -z, -x)).
const float positions[] = {
    -1, -1, 0, -1, 1, 0, 1, 1, 0,  1,  -1, 0,   //
    0,  -1, 1, 0,  1, 1, 0, 1, -1, 0,  -1, -1,  //
    -1, 0,  1, 1,  0, 1, 1, 0, -1, -1, 0,  -1,  //
};
float texCoords[12 * 2];

void drawScene(Viewer&) {
    const float s = frameTextureExtent(frameWidth), t = frameTextureExtent(frameHeight);
    const float corner[] = {0, 0, 0, t, s, t, s, 0};
    for (int i = 0; i < 24; ++i) texCoords[i] = corner[i % 8];
    glScalef(planeScale, planeScale, planeScale);
    drawArrays(GL_QUADS, 12, positions, nullptr, texCoords);
}

}  // namespace

extern const ViewerSettings planesLimitSettings = withScene(planesSettings, drawScene);
