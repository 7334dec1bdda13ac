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
    {1, 1, 1, 1},
    false,
    false,
    1,
    0.0300003f,
    {1, 0, 0},
    45,
    double(0.1f),
    {AlphaRule::inverseBrightness, defaultBlendFactor, true},
    onSpaceKey,
    drawScene,
};
