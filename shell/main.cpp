#include <GL/glut.h>

#include <cstdio>
#include <cstring>

#include "capture_agent.h"
#include "glut_window.h"
#include "program_identity.h"
#include "viewer.h"

#if !defined(PROGRAM_SETTINGS) || !defined(PROGRAM_NAME)
#error "the build names the program and its ViewerSettings row"
#endif

extern const ViewerSettings PROGRAM_SETTINGS;

Viewer* theViewer = nullptr;

namespace {

// Stored in single precision and truncated to GLUT's whole milliseconds.
constexpr float framePeriodMs = 5.0f;
const unsigned int framePeriodTicks = static_cast<unsigned int>(framePeriodMs);

void displayCallback() { theViewer->display(); }

void reshapeCallback(int width, int height) { theViewer->reshape(width, height); }

void mouseCallback(int button, int state, int x, int y) {
    if (button != GLUT_LEFT_BUTTON) return;
    if (state == GLUT_DOWN) {
        theViewer->onLeftPress(x, y);
    } else {
        theViewer->onLeftRelease(x, y);
    }
}

void keyboardCallback(unsigned char key, int x, int y) { theViewer->onKey(int(key), x, y); }

void specialCallback(int key, int x, int y) { theViewer->onSpecialKey(key, x, y); }

void motionCallback(int x, int y) { theViewer->onMouseMove(x, y); }

// Re-armed only after the pass, so a slow pass never queues a second expiry.
void timerCallback(int value) {
    theViewer->display();
    glutTimerFunc(framePeriodTicks, timerCallback, value);
}

// The name the program was started by, as usage lines show it.
const char* invokedName(int argc, char** argv) {
    if (argc < 1 || argv[0] == nullptr || argv[0][0] == '\0') return PROGRAM_NAME;
    const char* name = argv[0];
    for (const char* c = argv[0]; *c != '\0'; ++c) {
        if (*c == '/' || *c == '\\') name = c + 1;
    }
    return name;
}

void printHelp(const char* name) {
    std::printf(
        "Usage: %s [GLUT options]\n"
        "A full-screen live-camera visualiser. It starts the capture agent\n"
        "\"%s\" when none is running and draws its newest frame.\n\n"
        "  mouse pointer   steers the view\n"
        "  left click      switches the automatic spin on and off\n",
        name, captureAgentCommand);
    if (programIdentity.spaceKeyHelp != nullptr) {
        std::printf("  space           %s\n", programIdentity.spaceKeyHelp);
    }
    std::printf(
        "  F11             leaves and re-enters full screen\n"
        "  Escape          quits\n");
}

// Answers --help and --version, which GLUT would not understand; true when
// the program has nothing more to do.
bool answeredQuestion(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            printHelp(invokedName(argc, argv));
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s %s\n", invokedName(argc, argv), programIdentity.version);
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (answeredQuestion(argc, argv)) return 0;
    glutInit(&argc, argv);

    static GlutWindow window(programIdentity);
    theViewer = new Viewer(PROGRAM_SETTINGS, window);
    theViewer->init();

    glutDisplayFunc(displayCallback);
    glutReshapeFunc(reshapeCallback);
    glutMouseFunc(mouseCallback);
    glutKeyboardFunc(keyboardCallback);
    glutSpecialFunc(specialCallback);
    glutPassiveMotionFunc(motionCallback);
    glutMotionFunc(motionCallback);
    glutTimerFunc(framePeriodTicks, timerCallback, 0);
    glutMainLoop();
    return 0;
}
