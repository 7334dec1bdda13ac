// The picture on three mutually perpendicular squares that share their
// centre; its brightness is its opacity over the black background.
#include "planes.h"

#include <GL/gl.h>

#include "viewer.h"

namespace {

// A square from (-1, -1) to (1, 1) in z = 0 showing the frame rectangle of
// the texture: s runs with x, t with y.
void drawSquare(float frameS, float frameT) {
    glBegin(GL_POLYGON);
    glTexCoord2f(0, 0);
    glVertex3f(-1, -1, 0);
    glTexCoord2f(0, frameT);
    glVertex3f(-1, 1, 0);
    glTexCoord2f(frameS, frameT);
    glVertex3f(1, 1, 0);
    glTexCoord2f(frameS, 0);
    glVertex3f(1, -1, 0);
    glEnd();
}

void drawScene(Viewer&) {
    const float frameS = frameTextureExtent(frameWidth);
    const float frameT = frameTextureExtent(frameHeight);
    glScalef(planeScale, planeScale, planeScale);
    drawSquare(frameS, frameT);
    // The rotations accumulate: the second square stands in x = 0, the
    // third in y = 0.
    glRotatef(90, 0, 1, 0);
    drawSquare(frameS, frameT);
    glRotatef(90, 1, 0, 0);
    drawSquare(frameS, frameT);
}

void onSpaceKey(Viewer&) {}

}  // namespace

extern const ViewerSettings planesSettings = {
    .clearColor = {0, 0, 0, 1},
    .depthTest = false,
    .colorMaterial = false,
    .yawRate = 1,
    .pitchRate = degreeEvery(3.333f),
    .pitchAxis = {1, 0, 0},
    .fieldOfView = 45,
    .nearPlane = tenthNearPlane,
    .capture = {.alphaRule = AlphaRule::brightness,
                .blendFactor = defaultBlendFactor,
                .uploadTexture = true},
    .onSpaceKey = onSpaceKey,
    .drawScene = drawScene,
};
