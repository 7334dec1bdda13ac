#pragma once

#include "program_identity.h"
#include "viewer.h"

// The window operations of the key reactions, done by GLUT on the current
// window, which belongs to the program `identity` names.
class GlutWindow : public WindowSystem {
   public:
    explicit GlutWindow(const ProgramIdentity& identity) : identity(identity) {}
    WindowGeometry geometry() override;
    void enterFullScreen() override;
    void reshapeWindow(int width, int height) override;
    void positionWindow(int x, int y) override;
    void presentToDesktop() override;

   private:
    const ProgramIdentity& identity;
};
