// Bench-only: the colour cloud as one line-strip array and one array of axis
// lines.
#include <GL/gl.h>

#include "capture_file.h"
#include "colorspace.h"
#include "limit.h"

extern const ViewerSettings colorspaceSettings;

namespace {

constexpr int points = captureFrameWidth * captureFrameHeight;
float positions[points * 3];
float colors[points * 4];

// Each axis from the origin, opaque, to axisLength along it, transparent.
constexpr float axisPositions[] = {
    0, 0, 0, axisLength, 0,          0,           //
    0, 0, 0, 0,          axisLength, 0,           //
    0, 0, 0, 0,          0,          axisLength,  //
};
constexpr float axisColors[] = {
    1, 0, 0, 1, 1, 0, 0, 0,  //
    0, 1, 0, 1, 0, 1, 0, 0,  //
    0, 0, 1, 1, 0, 0, 1, 0,  //
};

void drawScene(Viewer& viewer) {
    glTranslatef(cubeOffset[0], cubeOffset[1], cubeOffset[2]);
    glScalef(cubeScale, cubeScale, cubeScale);
    int n = 0;
    for (int y = 0; y < frameHeight; ++y) {
        for (int x = 0; x < frameWidth; ++x, ++n) {
            const std::uint8_t* p = imagePixel(smoothedImage, y, x);
            for (int c = 0; c < 3; ++c) {
                positions[n * 3 + c] = p[c];
                colors[n * 4 + c] = byteColor(p[c]);
            }
            colors[n * 4 + 3] = 1;
        }
    }
    drawArrays(GL_LINE_STRIP, n, positions, colors, nullptr);
    if (viewer.showAxes) {
        glScalef(axisScale, axisScale, axisScale);
        drawArrays(GL_LINES, 6, axisPositions, axisColors, nullptr);
    }
}

}  // namespace

extern const ViewerSettings colorspaceLimitSettings = withScene(colorspaceSettings, drawScene);
