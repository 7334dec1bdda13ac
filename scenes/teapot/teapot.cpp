// The picture wrapped on two nested solid teapots; its alpha is high where
// it is dark, so on the white background the dark parts draw the teapots.
#include <GL/glut.h>

#include "viewer.h"

namespace {

constexpr double outerTeapotSize = 1.0;
constexpr double innerTeapotSize = 0.5;

void drawScene(Viewer&) {
    glutSolidTeapot(outerTeapotSize);
    glutSolidTeapot(innerTeapotSize);
}

void onSpaceKey(Viewer&) {}

}  // namespace

extern const ViewerSettings teapotSettings = {
    .clearColor = {1, 1, 1, 1},
    .depthTest = false,
    .colorMaterial = false,
    .yawRate = 1,
    .pitchRate = degreeEvery(33.333f),
    .pitchAxis = {1, 0, 0},
    .fieldOfView = 45,
    .nearPlane = tenthNearPlane,
    .capture = {.alphaRule = AlphaRule::inverseBrightness,
                .blendFactor = defaultBlendFactor,
                .uploadTexture = true},
    .onSpaceKey = onSpaceKey,
    .drawScene = drawScene,
};
