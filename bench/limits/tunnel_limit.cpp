// The 80 layers' pictures as one array of quads and their outlines as one
// array of lines, every corner already turned and moved into place. Drawing
// all outlines after all pictures is the one liberty taken: it lets each
// primitive kind go in a single draw.
#include <GL/gl.h>

#include <cmath>

#include "limit.h"
#include "tunnel/tunnel.h"

extern const ViewerSettings tunnelSettings;

namespace {

constexpr int layers = 80;
float picturePositions[layers * 4 * 3];
float pictureTexCoords[layers * 4 * 2];
float outlinePositions[layers * 8 * 3];

void place(float* out, float x, float y, int layer) {
    const double angle = double(layer) * double(twistAngle) * M_PI / 180.0;
    const double c = std::cos(angle), s = std::sin(angle);
    out[0] = float(c * x - s * y);
    out[1] = float(s * x + c * y);
    out[2] = float(layer * 0.1);
}

void drawScene(Viewer& viewer) {
    glTranslatef(0, 0, -4);
    const float u = frameTextureExtent(frameWidth), v = frameTextureExtent(frameHeight);
    followTwist(brightnessSum);
    const float px[] = {0, 0, 0.5f, 0.5f}, py[] = {0, 0.5f, 0.5f, 0};
    const float ts[] = {0, 0, u, u}, tt[] = {0, v, v, 0};
    const float ox[] = {-0.01f, -0.01f, 0.51f, 0.51f}, oy[] = {-0.01f, 0.51f, 0.51f, -0.01f};
    for (int layer = 0; layer < layers; ++layer) {
        for (int k = 0; k < 4; ++k) {
            place(picturePositions + (layer * 4 + k) * 3, px[k], py[k], layer);
            pictureTexCoords[(layer * 4 + k) * 2 + 0] = ts[k];
            pictureTexCoords[(layer * 4 + k) * 2 + 1] = tt[k];
            place(outlinePositions + (layer * 8 + 2 * k) * 3, ox[k], oy[k], layer);
            place(outlinePositions + (layer * 8 + 2 * k + 1) * 3, ox[(k + 1) % 4], oy[(k + 1) % 4],
                  layer);
        }
    }
    if (viewer.displayMode != 1) {
        glColor4f(1, 1, 1, 1);
        drawArrays(GL_QUADS, layers * 4, picturePositions, nullptr, pictureTexCoords);
    }
    if (viewer.displayMode != 2) {
        glBindTexture(GL_TEXTURE_2D, 0);
        glColor4f(0, 0, 0, 1);
        drawArrays(GL_LINES, layers * 8, outlinePositions, nullptr, nullptr);
    }
}

}  // namespace

extern const ViewerSettings tunnelLimitSettings = withScene(tunnelSettings, drawScene);
