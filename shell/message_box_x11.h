#pragma once

// A modal message dialog drawn with plain Xlib: the text, an OK button, an
// optional transient owner window (0 for none). It takes the keyboard focus
// when it appears and returns once it is closed by the button, Enter,
// Escape or the window's close. Returns false when no display could be
// opened.
bool showX11Message(unsigned long owner, const char* text, const char* caption);

// The WM_CLASS of the dialog, by which it can be told from other windows.
constexpr const char* messageWindowClass = "LumivisMessage";
