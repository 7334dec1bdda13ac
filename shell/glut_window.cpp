#include "glut_window.h"

#include <GL/glut.h>

#include "platform.h"
#include "window_identity.h"

WindowGeometry GlutWindow::geometry() {
    WindowGeometry g;
    g.x = glutGet(GLUT_WINDOW_X);
    g.y = glutGet(GLUT_WINDOW_Y);
    g.width = glutGet(GLUT_WINDOW_WIDTH);
    g.height = glutGet(GLUT_WINDOW_HEIGHT);
    return g;
}

void GlutWindow::enterFullScreen() {
    if (desktopHandlesFullScreen()) {
        glutFullScreen();
        return;
    }
    // Without a window manager that knows the full-screen state (a bare X
    // server, a kiosk), GLUT's fallback misplaces the window by its first
    // position; covering the screen directly works everywhere.
    glutPositionWindow(0, 0);
    glutReshapeWindow(glutGet(GLUT_SCREEN_WIDTH), glutGet(GLUT_SCREEN_HEIGHT));
}

void GlutWindow::reshapeWindow(int width, int height) { glutReshapeWindow(width, height); }

void GlutWindow::positionWindow(int x, int y) { glutPositionWindow(x, y); }

void GlutWindow::presentToDesktop() { applyWindowIdentity(identity); }
