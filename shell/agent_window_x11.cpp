#include "agent_window_x11.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include "x11_properties.h"

namespace {

// A window can vanish between listing and reading it; that must not end the
// program through Xlib's default error handler.
int ignoreXError(Display*, XErrorEvent*) { return 0; }

// Longer titles cannot match the short ones searched for.
constexpr long maxTitleLongs = 64;

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
        found = WindowProperty(display, children[i], XA_WM_NAME, maxTitleLongs).holdsText(title) ||
                WindowProperty(display, children[i], netWmName, maxTitleLongs).holdsText(title);
    }
    XSync(display, False);
    XSetErrorHandler(previous);
    if (children != nullptr) XFree(children);
    return found;
}
