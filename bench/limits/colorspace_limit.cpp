// The colour cloud as one line-strip array and one array of axis lines.
#include <GL/gl.h>

#include "limit.h"

extern const ViewerSettings colorspaceSettings;

namespace {

constexpr int points = 160 * 120;
float positions[points * 3];
float colors[points * 4];

const float axisPositions[] = {0, 0, 0, 100, 0, 0, 0, 0, 0, 0, 100, 0, 0, 0, 0, 0, 0, 100};
const float axisColors[] = {1, 0, 0, 1, 1, 0, 0, 0, 0, 1, 0, 1, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0};

void drawScene(Viewer& viewer) {
    glTranslatef(-0.3f, -0.3f, -0.2f);
    glScalef(0.002f, 0.002f, 0.002f);
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
        glScalef(200, 200, 200);
        drawArrays(GL_LINES, 6, axisPositions, axisColors, nullptr);
    }
}

}  // namespace

extern const ViewerSettings colorspaceLimitSettings = withScene(colorspaceSettings, drawScene);
