#pragma once

#include <cstdint>

#include "frame_source.h"

class Viewer;

// The one record of constants that makes a program's shell differ from the
// others, together with its scene. Rows are written with named fields.
struct ViewerSettings {
    float clearColor[4];  // red, green, blue, alpha
    bool depthTest;
    bool colorMaterial;
    float yawRate;    // degrees per pass in automatic spin
    float pitchRate;  // degrees per pass in automatic spin
    float pitchAxis[3];
    double fieldOfView;  // degrees
    double nearPlane;
    CaptureSettings capture;
    void (*onSpaceKey)(Viewer& viewer);
    void (*drawScene)(Viewer& viewer);
};

// A spin rate of one degree every `passes` display passes, divided in single
// precision: 1.0f / 8.333f is the float with bits 0x3DF5C513, not 0.12.
constexpr float degreeEvery(float passes) { return 1.0f / passes; }

// The near plane of most programs: 0.1 as stored in single precision,
// widened to double.
constexpr double tenthNearPlane = double(0.1f);

struct WindowGeometry {
    std::int32_t x, y, width, height;
};

// The window operations that the key reactions need; GLUT behind it in the
// programs, a recorder in the tests.
class WindowSystem {
   public:
    virtual ~WindowSystem() = default;
    // Reads position then size, in that order.
    virtual WindowGeometry geometry() = 0;
    virtual void enterFullScreen() = 0;
    virtual void reshapeWindow(int width, int height) = 0;
    virtual void positionWindow(int x, int y) = 0;
    // Tells the desktop which program the new window belongs to.
    virtual void presentToDesktop() = 0;
};

constexpr const char* windowTitle = "";
constexpr int initialWindowWidth = 640;
constexpr int initialWindowHeight = 480;
constexpr int initialWindowX = 100;
constexpr int initialWindowY = 100;
constexpr float cameraFollowFactor = 0.1f;  // share of the gap closed per pass
constexpr double farPlane = 100.0;
constexpr int keyEscape = 27;
constexpr int keySpace = 32;

class Viewer {
   public:
    Viewer(const ViewerSettings& settings, WindowSystem& window);

    void init();
    void display();
    void reshape(int width, int height);
    void onKey(int key, int x, int y);
    void onSpecialKey(int key, int x, int y);
    void onLeftPress(int x, int y);
    void onLeftRelease(int x, int y);
    void onMouseMove(int x, int y);
    void ensureCaptureAgent();
    void launchCaptureAgent();

    // One smoothing step of the camera angles toward the pointer or, in
    // automatic spin, toward the pass count times the spin rates.
    void followCamera();

    const ViewerSettings& settings;
    WindowSystem& window;

    bool fullScreen = false;
    std::int32_t savedX = 0, savedY = 0;
    std::int32_t savedWidth = 0, savedHeight = 0;
    std::int32_t viewWidth = 0, viewHeight = 0;
    std::int32_t mouseX = 0, mouseY = 0;
    float yaw = 0;
    float pitch = 0;
    bool autoSpin = false;
    bool showAxes = true;
    std::int32_t displayMode = 0;
    std::int32_t frameCount = 0;
};

extern Viewer* theViewer;
