#pragma once

#include <X11/Xlib.h>

// True when any top-level window, mapped or not, is titled exactly
// `title` in WM_NAME or _NET_WM_NAME.
bool topLevelWindowTitled(Display* display, const char* title);
