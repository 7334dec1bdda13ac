#pragma once

#include "viewer.h"

// The window operations of the key reactions, done by GLUT on the current
// window.
class GlutWindow : public WindowSystem {
   public:
    WindowGeometry geometry() override;
    void enterFullScreen() override;
    void reshapeWindow(int width, int height) override;
    void positionWindow(int x, int y) override;
};
