// A scene drawn through fewer GL calls must put the same picture on the
// screen as the call-by-call drawing it replaces, on the real driver.
#include <GL/glut.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "viewer.h"

extern const ViewerSettings reliefSettings;

namespace {

constexpr int width = 320, height = 240;

class NoWindowSystem : public WindowSystem {
   public:
    WindowGeometry geometry() override { return {0, 0, width, height}; }
    void enterFullScreen() override {}
    void reshapeWindow(int, int) override {}
    void positionWindow(int, int) override {}
    void presentToDesktop() override {}
};

// The relief as one push, translate, quad and pop per tile.
void drawReliefTileByTile() {
    glTranslatef(-0.7f, -0.7f, -0.5f);
    glScalef(0.009f, 0.009f, 0.009f);
    for (int i = 0; i < frameHeight; ++i) {
        for (int j = 0; j < frameWidth; ++j) {
            const std::uint8_t* p = imagePixel(smoothedImage, i, j);
            glColor4f(p[0] * 0.00390625f, p[1] * 0.00390625f, p[2] * 0.00390625f, 1);
            glPushMatrix();
            glTranslatef(float(i), float(j), float(p[3] * 0.5));
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

struct View {
    float yaw, pitch;
};

// Renders one pass of `settings`' projection and camera with `draw` as its
// scene and reads back the picture.
std::vector<std::uint8_t> render(const ViewerSettings& settings, View view, void (*draw)()) {
    const float* clear = settings.clearColor;
    glClearColor(clear[0], clear[1], clear[2], clear[3]);
    if (settings.depthTest) {
        glEnable(GL_DEPTH_TEST);
    } else {
        glDisable(GL_DEPTH_TEST);
    }
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(settings.fieldOfView, double(width) / height, settings.nearPlane, farPlane);
    gluLookAt(0, 0, 1, 0, 0, 0, 0, 1, 0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor4f(1, 1, 1, 1);
    glPushMatrix();
    glRotatef(view.yaw, 0, 1, 0);
    glRotatef(view.pitch, settings.pitchAxis[0], settings.pitchAxis[1], settings.pitchAxis[2]);
    draw();
    glPopMatrix();
    glFinish();
    std::vector<std::uint8_t> pixels(std::size_t(width) * height * 4);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

struct Difference {
    int pixels;
    int covered;  // pixels that differ from the clear colour in either picture
};

Difference compare(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    Difference d{0, 0};
    for (std::size_t i = 0; i < a.size(); i += 4) {
        if (std::memcmp(&a[i], &b[i], 4) != 0) ++d.pixels;
        if (std::memcmp(&a[i], &a[0], 4) != 0 || std::memcmp(&b[i], &b[0], 4) != 0) ++d.covered;
    }
    return d;
}

// A picture with hills and valleys and every colour channel varying, so that
// tiles overlap and hide each other.
void fillVariedImage() {
    frameWidth = 160;
    frameHeight = 120;
    std::memset(smoothedImage, 0, sizeof smoothedImage);
    for (int y = 0; y < frameHeight; ++y) {
        for (int x = 0; x < frameWidth; ++x) {
            std::uint8_t* p = smoothedImage + y * imageRowBytes + x * imageBytesPerPixel;
            p[0] = std::uint8_t(x * 255 / 159);
            p[1] = std::uint8_t(y * 255 / 119);
            p[2] = std::uint8_t((x * 7 + y * 13) & 0xFF);
            p[3] = std::uint8_t(((x / 8 + y / 6) % 2) ? 200 - x : (x * y) % 250);
        }
    }
}

NoWindowSystem noWindow;

void drawReliefScene() {
    static Viewer viewer(reliefSettings, noWindow);
    reliefSettings.drawScene(viewer);
}

TEST(SceneEquivalence, ReliefFromOneArrayMatchesTileByTile) {
    fillVariedImage();
    for (View view : {View{0, 0}, View{35, -20}, View{-70, 60}, View{160, 10}}) {
        const auto reference = render(reliefSettings, view, drawReliefTileByTile);
        const auto arrays = render(reliefSettings, view, drawReliefScene);
        const Difference d = compare(reference, arrays);
        SCOPED_TRACE(testing::Message() << "yaw " << view.yaw << ", pitch " << view.pitch);
        EXPECT_GT(d.covered, width * height / 20) << "the relief is not in view";
        // Only edge pixels where rounding in a different matrix order tips a
        // sample may differ.
        EXPECT_LE(d.pixels, d.covered / 200);
        std::printf("view %g,%g: %d of %d covered pixels differ\n", view.yaw, view.pitch, d.pixels,
                    d.covered);
    }
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (std::getenv("DISPLAY") == nullptr) {
        std::fprintf(stderr, "scene equivalence needs an X display\n");
        return 1;
    }
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(width, height);
    glutCreateWindow("scene equivalence");
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_LINE_SMOOTH);
    glDepthFunc(GL_LEQUAL);
    return RUN_ALL_TESTS();
}
