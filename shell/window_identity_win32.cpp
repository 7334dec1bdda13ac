#include "window_identity.h"

// Windows takes a window's icon from its window class, which freeglut
// loads from the executable's GLUT_ICON resource; the class name is
// freeglut's and tells no program apart. Nothing is left to set here.
void applyWindowIdentity(const ProgramIdentity&) {}
