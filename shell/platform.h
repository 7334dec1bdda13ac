#pragma once

#include <cstdint>

// The desktop services the shell needs around the capture agent and the
// pointer; one implementation per operating system.

// An opaque handle of a native top-level window (0 when there is none).
using NativeWindow = std::uintptr_t;

// The visualiser's own window; call with its GL context current.
NativeWindow findOwnWindow();

// True when a top-level window with this title exists, mapped or not.
bool windowTitledExists(const char* title);

// Starts `command` through the usual program search, detached from the
// visualiser: never waited for, never left behind as a zombie, and not
// ended with the visualiser. Returns false when it could not be started.
bool startDetachedProcess(const char* command);

// A modal message with an OK button, owned by `owner`; returns once the
// user has dismissed it.
void showMessage(NativeWindow owner, const char* text, const char* caption);

void hideCursor();

// True when the desktop puts a window into its full-screen state on
// request; false when the program must cover the screen by itself.
bool desktopHandlesFullScreen();
