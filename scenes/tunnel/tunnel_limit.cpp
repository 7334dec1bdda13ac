// Bench-only: the 80 layers' pictures as one array of quads and their
// outlines as one array of lines, every corner already turned and moved into
// place. Drawing all outlines after all pictures is the one liberty taken: it
// lets each primitive kind go in a single draw.
#include <GL/gl.h>

#include <cmath>

#include "limit.h"
#include "tunnel.h"

extern const ViewerSettings tunnelSettings;

namespace {

float picturePositions[layerCount * 4 * 3];
float pictureTexCoords[layerCount * 4 * 2];
float outlinePositions[layerCount * 8 * 3];

void place(float* out, float x, float y, int layer) {
    const double angle = double(layer) * double(twistAngle) * M_PI / 180.0;
    const double c = std::cos(angle), s = std::sin(angle);
    out[0] = float(c * x - s * y);
    out[1] = float(s * x + c * y);
    out[2] = float(layer * double(layerSpacing));
}

void drawScene(Viewer& viewer) {
    glTranslatef(0, 0, stackStart);
    const float u = frameTextureExtent(frameWidth), v = frameTextureExtent(frameHeight);
    followTwist(brightnessSum);
    const float px[] = {0, 0, layerSize, layerSize}, py[] = {0, layerSize, layerSize, 0};
    const float ts[] = {0, 0, u, u}, tt[] = {0, v, v, 0};
    const float ox[] = {outlineLow, outlineLow, outlineHigh, outlineHigh};
    const float oy[] = {outlineLow, outlineHigh, outlineHigh, outlineLow};
    for (int layer = 0; layer < layerCount; ++layer) {
        for (int k = 0; k < 4; ++k) {
            place(picturePositions + (layer * 4 + k) * 3, px[k], py[k], layer);
            pictureTexCoords[(layer * 4 + k) * 2 + 0] = ts[k];
            pictureTexCoords[(layer * 4 + k) * 2 + 1] = tt[k];
            place(outlinePositions + (layer * 8 + 2 * k) * 3, ox[k], oy[k], layer);
            place(outlinePositions + (layer * 8 + 2 * k + 1) * 3, ox[(k + 1) % 4], oy[(k + 1) % 4],
                  layer);
        }
    }
    if (drawsPictures(viewer.displayMode)) {
        glColor4f(1, 1, 1, 1);
        drawArrays(GL_QUADS, layerCount * 4, picturePositions, nullptr, pictureTexCoords);
    }
    if (drawsOutlines(viewer.displayMode)) {
        glBindTexture(GL_TEXTURE_2D, 0);
        glColor4f(0, 0, 0, 1);
        drawArrays(GL_LINES, layerCount * 8, outlinePositions, nullptr, nullptr);
    }
}

}  // namespace

extern const ViewerSettings tunnelLimitSettings = withScene(tunnelSettings, drawScene);
