// One flat tile per pixel in the pixel's colour, lifted toward the viewer
// by the pixel's smoothed brightness.
#include <GL/gl.h>

#include "capture_file.h"
#include "viewer.h"

namespace {

constexpr float sceneOffset[3] = {-0.7f, -0.7f, -0.5f};
constexpr float sceneScale = 0.009f;
constexpr float liftPerLevel = 0.5f;
constexpr float tileAlpha = 1;

// The tile quad, its corners in drawing order: clockwise seen from +Z.
constexpr float tileCornerX[4] = {0, 0, 1, 1};
constexpr float tileCornerY[4] = {0, 1, 1, 0};
constexpr int cornersPerTile = 4;
constexpr int maxTiles = captureFrameWidth * captureFrameHeight;

// Every tile's corners already moved to (row, column, half the brightness),
// where a translation per tile would put them, with the tile's colour on
// each. One draw of these arrays puts the same quads, in the same order and
// colours, on the screen as a push, translate and pop per tile, without
// ending a draw at every matrix change.
float tilePositions[maxTiles * cornersPerTile * 3];
float tileColors[maxTiles * cornersPerTile * 4];

int fillTileArrays() {
    float* position = tilePositions;
    float* color = tileColors;
    int corners = 0;
    // The row index runs along X and the column index along Y.
    for (int i = 0; i < frameHeight; ++i) {
        for (int j = 0; j < frameWidth; ++j) {
            const std::uint8_t* p = imagePixel(smoothedImage, i, j);
            // The alpha place holds the smoothed brightness.
            const float lift = float(double(p[3]) * double(liftPerLevel));
            const float red = byteColor(p[0]), green = byteColor(p[1]), blue = byteColor(p[2]);
            for (int k = 0; k < cornersPerTile; ++k, ++corners) {
                *position++ = float(i) + tileCornerX[k];
                *position++ = float(j) + tileCornerY[k];
                *position++ = lift;
                *color++ = red;
                *color++ = green;
                *color++ = blue;
                *color++ = tileAlpha;
            }
        }
    }
    return corners;
}

void drawScene(Viewer&) {
    glTranslatef(sceneOffset[0], sceneOffset[1], sceneOffset[2]);
    glScalef(sceneScale, sceneScale, sceneScale);
    const int corners = fillTileArrays();
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, tilePositions);
    glColorPointer(4, GL_FLOAT, 0, tileColors);
    glDrawArrays(GL_QUADS, 0, corners);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

void onSpaceKey(Viewer&) {}

}  // namespace

extern const ViewerSettings reliefSettings = {
    .clearColor = {0.4f, 0.4f, 0.4f, 1},
    .depthTest = true,
    .colorMaterial = false,
    .yawRate = degreeEvery(9),
    .pitchRate = degreeEvery(11.333f),
    .pitchAxis = {0, 0, 1},
    .fieldOfView = 100,
    .nearPlane = double(0.0001f),  // 0.0001 as stored in single precision
    .capture = {.alphaRule = AlphaRule::brightness,
                .blendFactor = slowBlendFactor,
                .uploadTexture = false},
    .onSpaceKey = onSpaceKey,
    .drawScene = drawScene,
};
