#pragma once

#include "program_identity.h"

// Gives the current GLUT window the program's class and icon, so that task
// bars, window switchers and the menu entry agree on which program it is.
// Call once, right after the window is created and before it changes state.
void applyWindowIdentity(const ProgramIdentity& identity);
