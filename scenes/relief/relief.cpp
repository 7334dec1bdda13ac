// One flat tile per pixel in the pixel's colour, lifted toward the viewer
// by the pixel's smoothed brightness.
#include <GL/gl.h>

#include "viewer.h"

namespace {

constexpr float sceneOffset[3] = {-0.7f, -0.7f, -0.5f};
constexpr float sceneScale = 0.009f;
constexpr float liftPerLevel = 0.5f;
constexpr float tileAlpha = 1;

void drawScene(Viewer&) {
    glTranslatef(sceneOffset[0], sceneOffset[1], sceneOffset[2]);
    glScalef(sceneScale, sceneScale, sceneScale);
    // The row index runs along X and the column index along Y.
    for (int i = 0; i < frameHeight; ++i) {
        for (int j = 0; j < frameWidth; ++j) {
            const std::uint8_t* p = imagePixel(smoothedImage, i, j);
            glColor4f(byteColor(p[0]), byteColor(p[1]), byteColor(p[2]), tileAlpha);
            glPushMatrix();
            // The alpha place holds the smoothed brightness.
            glTranslatef(float(i), float(j), float(double(p[3]) * double(liftPerLevel)));
            glBegin(GL_QUADS);
            glVertex3f(0, 0, 0);
            glVertex3f(0, 1, 0);
            glVertex3f(1, 1, 0);
            glVertex3f(1, 0, 0);
            glEnd();
            glPopMatrix();
        }
    }
}

void onSpaceKey(Viewer&) {}

}  // namespace

extern const ViewerSettings reliefSettings = {
    {0.4f, 0.4f, 0.4f, 1},
    true,
    false,
    0.11111111f,
    0.08823789f,
    {0, 0, 1},
    100,
    double(0.0001f),
    {AlphaRule::brightness, slowBlendFactor, false},
    onSpaceKey,
    drawScene,
};
