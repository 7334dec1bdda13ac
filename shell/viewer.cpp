#include "viewer.h"

#include <GL/glut.h>

#include <cstdio>
#include <cstdlib>

#include "capture_agent.h"
#include "capture_file.h"
#include "platform.h"

namespace {

constexpr const char* agentStartFailedMessage = "Could not start video capture agent";

// Where the camera angles head for in this pass.
struct CameraTarget {
    double yaw, pitch;
};

double follow(float current, double target) {
    const double now = current;
    return now + (target - now) * double(cameraFollowFactor);
}

NativeWindow mainWindowHandle = 0;

}  // namespace

Viewer::Viewer(const ViewerSettings& settings, WindowSystem& window)
    : settings(settings), window(window) {}

void Viewer::init() {
    fullScreen = false;
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
    frameCount = 0;
    frameWidth = captureFrameWidth;
    frameHeight = captureFrameHeight;
    yaw = 0;
    pitch = 0;
    mouseX = 0;
    mouseY = 0;
    glutInitWindowSize(initialWindowWidth, initialWindowHeight);
    glutInitWindowPosition(initialWindowX, initialWindowY);
    autoSpin = false;
    showAxes = true;
    displayMode = 0;
    glutCreateWindow(windowTitle);
    window.presentToDesktop();

    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    if (settings.depthTest) glEnable(GL_DEPTH_TEST);
    glEnable(GL_LINE_SMOOTH);
    glLineWidth(1);
    glDepthFunc(GL_LEQUAL);
    glClearDepth(1);
    glShadeModel(GL_SMOOTH);
    if (settings.colorMaterial) glEnable(GL_COLOR_MATERIAL);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    const float* clear = settings.clearColor;
    glClearColor(clear[0], clear[1], clear[2], clear[3]);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    ensureCaptureAgent();
    hideCursor();
    onSpecialKey(GLUT_KEY_F11, 0, 0);
}

void Viewer::followCamera() {
    CameraTarget target;
    if (autoSpin) {
        target = {double(frameCount) * double(settings.yawRate),
                  double(frameCount) * double(settings.pitchRate)};
    } else {
        // Pointer pixels are taken directly as degrees.
        target = {double(mouseX), double(mouseY)};
    }
    yaw = float(follow(yaw, target.yaw));
    pitch = float(follow(pitch, target.pitch));
}

void Viewer::display() {
    frameCount += 1;
    updateFrame(settings.capture);

    glRenderMode(GL_RENDER);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glColor4f(1, 1, 1, 1);
    glPushMatrix();

    followCamera();
    glRotatef(yaw, 0, 1, 0);
    const float* axis = settings.pitchAxis;
    glRotatef(pitch, axis[0], axis[1], axis[2]);

    settings.drawScene(*this);

    glPopMatrix();
    glutSwapBuffers();
}

void Viewer::reshape(int width, int height) {
    viewWidth = width;
    viewHeight = height;
    glViewport(0, 0, width, height);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // A window with no height (minimised) gets a degenerate projection, but
    // it has nothing to show then, and the next reshape sets it right.
    gluPerspective(settings.fieldOfView, double(width) / double(height), settings.nearPlane,
                   farPlane);
    gluLookAt(0, 0, 1, 0, 0, 0, 0, 1, 0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    display();
}

void Viewer::onKey(int key, int, int) {
    if (key == keyEscape) std::exit(EXIT_SUCCESS);
    if (key == keySpace) settings.onSpaceKey(*this);
}

void Viewer::onSpecialKey(int key, int, int) {
    if (key != GLUT_KEY_F11) return;
    fullScreen = !fullScreen;
    if (fullScreen) {
        const WindowGeometry saved = window.geometry();
        savedX = saved.x;
        savedY = saved.y;
        savedWidth = saved.width;
        savedHeight = saved.height;
        window.enterFullScreen();
    } else {
        window.reshapeWindow(savedWidth, savedHeight);
        window.positionWindow(savedX, savedY);
    }
}

void Viewer::onLeftPress(int, int) { autoSpin = !autoSpin; }

void Viewer::onLeftRelease(int, int) {}

void Viewer::onMouseMove(int x, int y) {
    mouseX = x;
    mouseY = y;
}

void Viewer::ensureCaptureAgent() {
    mainWindowHandle = findOwnWindow();
    if (!windowTitledExists(captureAgentTitle)) launchCaptureAgent();
}

void Viewer::launchCaptureAgent() {
    if (startDetachedProcess(captureAgentCommand)) return;
    std::fprintf(stderr, "%s\n", agentStartFailedMessage);
    showMessage(mainWindowHandle, agentStartFailedMessage, windowTitle);
}
