#include "agent_window_x11.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <cstring>

namespace {

// A window can vanish between listing and reading it; that must not end the
// program through Xlib's default error handler.
int ignoreXError(Display*, XErrorEvent*) { return 0; }

bool propertyEquals(Display* display, Window window, Atom property, const char* text) {
    Atom actualType = None;
    int actualFormat = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    const long maxLongs = 64;
    if (XGetWindowProperty(display, window, property, 0, maxLongs, False, AnyPropertyType,
                           &actualType, &actualFormat, &count, &remaining, &data) != Success) {
        return false;
    }
    bool same = data != nullptr && actualFormat == 8 && remaining == 0 &&
                count == std::strlen(text) && std::memcmp(data, text, count) == 0;
    if (data != nullptr) XFree(data);
    return same;
}

}  // namespace

bool topLevelWindowTitled(Display* display, const char* title) {
    Window root = DefaultRootWindow(display);
    Window rootReturn = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, root, &rootReturn, &parent, &children, &count)) return false;

    const Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
    XSync(display, False);
    XErrorHandler previous = XSetErrorHandler(ignoreXError);
    bool found = false;
    for (unsigned int i = 0; i < count && !found; ++i) {
        found = propertyEquals(display, children[i], XA_WM_NAME, title) ||
                propertyEquals(display, children[i], netWmName, title);
    }
    XSync(display, False);
    XSetErrorHandler(previous);
    if (children != nullptr) XFree(children);
    return found;
}
