// Eighty stacked translucent copies of the picture, each turned a little
// further about the axis; the brighter the newest frame, the more they wind.
#include "tunnel.h"

#include <GL/gl.h>

#include "viewer.h"

float twistAngle = 0;

namespace {

constexpr float twistFollowFactor = 0.01f;
constexpr std::int32_t brightnessPerTwistDegree = 5;
constexpr std::int32_t modeCount = 3;

void drawPicture(float frameS, float frameT) {
    glColor4f(1, 1, 1, 1);
    glBindTexture(GL_TEXTURE_2D, videoTexture);
    glBegin(GL_POLYGON);
    glTexCoord2f(0, 0);
    glVertex3f(0, 0, 0);
    glTexCoord2f(0, frameT);
    glVertex3f(0, layerSize, 0);
    glTexCoord2f(frameS, frameT);
    glVertex3f(layerSize, layerSize, 0);
    glTexCoord2f(frameS, 0);
    glVertex3f(layerSize, 0, 0);
    glEnd();
}

void drawOutline() {
    // The default texture never gets an image, so the lines are untextured.
    glBindTexture(GL_TEXTURE_2D, 0);
    glBegin(GL_LINE_STRIP);
    glColor4f(0, 0, 0, 1);
    glVertex3f(outlineLow, outlineLow, 0);
    glVertex3f(outlineLow, outlineHigh, 0);
    glVertex3f(outlineHigh, outlineHigh, 0);
    glVertex3f(outlineHigh, outlineLow, 0);
    glVertex3f(outlineLow, outlineLow, 0);
    glEnd();
}

void drawScene(Viewer& viewer) {
    glTranslatef(0, 0, stackStart);
    const float frameS = frameTextureExtent(frameWidth);
    const float frameT = frameTextureExtent(frameHeight);
    followTwist(brightnessSum);
    for (int layer = 0; layer < layerCount; ++layer) {
        if (drawsPictures(viewer.displayMode)) drawPicture(frameS, frameT);
        if (drawsOutlines(viewer.displayMode)) drawOutline();
        glRotatef(twistAngle, 0, 0, 1);
        glTranslatef(0, 0, layerSpacing);
    }
}

void onSpaceKey(Viewer& viewer) {
    viewer.displayMode += 1;
    if (viewer.displayMode >= modeCount) viewer.displayMode = 0;
}

}  // namespace

void followTwist(std::int32_t frameBrightnessSum) {
    const std::int32_t target =
        frameBrightnessSum / (frameHeight * frameWidth * brightnessPerTwistDegree);
    const double now = twistAngle;
    twistAngle = float(now + (double(target) - now) * double(twistFollowFactor));
}

extern const ViewerSettings tunnelSettings = {
    .clearColor = {1, 1, 1, 1},
    .depthTest = false,
    .colorMaterial = false,
    .yawRate = 0.5f,
    .pitchRate = degreeEvery(8.333f),
    .pitchAxis = {1, 0, 0},
    .fieldOfView = 100,
    .nearPlane = 0,
    .capture = {.alphaRule = AlphaRule::evenTranslucency,
                .blendFactor = defaultBlendFactor,
                .uploadTexture = true},
    .onSpaceKey = onSpaceKey,
    .drawScene = drawScene,
};
