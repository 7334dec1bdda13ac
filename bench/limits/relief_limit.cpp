// All tiles as one array of quads whose corners are already moved into
// place, with one colour per corner.
#include <GL/gl.h>

#include "limit.h"

extern const ViewerSettings reliefSettings;

namespace {

constexpr int tiles = 160 * 120;
float positions[tiles * 4 * 3];
float colors[tiles * 4 * 4];
const float cornerX[] = {0, 0, 1, 1};
const float cornerY[] = {0, 1, 1, 0};

void drawScene(Viewer&) {
    glTranslatef(-0.7f, -0.7f, -0.5f);
    glScalef(0.009f, 0.009f, 0.009f);
    int n = 0;
    for (int i = 0; i < frameHeight; ++i) {
        for (int j = 0; j < frameWidth; ++j) {
            const std::uint8_t* p = imagePixel(smoothedImage, i, j);
            const float height = float(p[3] * 0.5);
            for (int corner = 0; corner < 4; ++corner, ++n) {
                positions[n * 3 + 0] = float(i) + cornerX[corner];
                positions[n * 3 + 1] = float(j) + cornerY[corner];
                positions[n * 3 + 2] = height;
                colors[n * 4 + 0] = byteColor(p[0]);
                colors[n * 4 + 1] = byteColor(p[1]);
                colors[n * 4 + 2] = byteColor(p[2]);
                colors[n * 4 + 3] = 1;
            }
        }
    }
    drawArrays(GL_QUADS, n, positions, colors, nullptr);
}

}  // namespace

extern const ViewerSettings reliefLimitSettings = withScene(reliefSettings, drawScene);
