// Every pixel of the smoothed picture as a point in RGB space, joined in
// pixel order into one line strip, with fading colour axes.
#include "colorspace.h"

#include <GL/gl.h>

#include "viewer.h"

namespace {

void drawAxis(float red, float green, float blue) {
    glColor4f(red, green, blue, 1);
    glVertex3f(0, 0, 0);
    glColor4f(red, green, blue, 0);
    glVertex3f(red * axisLength, green * axisLength, blue * axisLength);
}

void drawScene(Viewer& viewer) {
    glTranslatef(cubeOffset[0], cubeOffset[1], cubeOffset[2]);
    glScalef(cubeScale, cubeScale, cubeScale);

    glBegin(GL_LINE_STRIP);
    for (int y = 0; y < frameHeight; ++y) {
        for (int x = 0; x < frameWidth; ++x) {
            const std::uint8_t* p = imagePixel(smoothedImage, y, x);
            glColor4f(byteColor(p[0]), byteColor(p[1]), byteColor(p[2]), 1);
            glVertex3f(p[0], p[1], p[2]);
        }
    }
    glEnd();

    if (viewer.showAxes) {
        glScalef(axisScale, axisScale, axisScale);
        glBegin(GL_LINES);
        drawAxis(1, 0, 0);
        drawAxis(0, 1, 0);
        drawAxis(0, 0, 1);
        glEnd();
    }
}

void onSpaceKey(Viewer& viewer) { viewer.showAxes = !viewer.showAxes; }

}  // namespace

extern const ViewerSettings colorspaceSettings = {
    .clearColor = {0.5f, 0.5f, 0.5f, 1},
    .depthTest = true,
    .colorMaterial = true,
    .yawRate = 0.5f,
    .pitchRate = degreeEvery(8.333f),
    .pitchAxis = {0, 0, 1},
    .fieldOfView = 45,
    .nearPlane = tenthNearPlane,
    .capture = {.alphaRule = AlphaRule::brightness,
                .blendFactor = defaultBlendFactor,
                .uploadTexture = false},
    .onSpaceKey = onSpaceKey,
    .drawScene = drawScene,
};
