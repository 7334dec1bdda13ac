#include "x_window_probe.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstring>

#include "agent_window_x11.h"
#include "capture_agent.h"

namespace {

void describeWindow(Display* display, Window window, AgentWindow* result) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, window, &attributes)) {
        result->mapped = attributes.map_state != IsUnmapped;
    }
    Atom type = None;
    int format = 0;
    unsigned long items = 0, remaining = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), 0, 64, False,
                       AnyPropertyType, &type, &format, &items, &remaining, &data);
    if (data != nullptr) XFree(data);
    if (type != None) {
        char* typeName = XGetAtomName(display, type);
        result->netWmNameType = typeName;
        XFree(typeName);
    }
}

}  // namespace

XWindowProbe::XWindowProbe() : display_(XOpenDisplay(nullptr)) {}

XWindowProbe::~XWindowProbe() {
    if (display_ != nullptr) XCloseDisplay(display_);
}

bool XWindowProbe::agentShown() {
    return display_ != nullptr && topLevelWindowTitled(display_, captureAgentTitle);
}

AgentWindow XWindowProbe::describeAgentWindow() {
    AgentWindow result;
    if (display_ == nullptr) return result;
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count)) {
        return result;
    }
    for (unsigned int i = 0; i < count && !result.found; ++i) {
        char* name = nullptr;
        if (XFetchName(display_, children[i], &name) == 0 || name == nullptr) continue;
        result.found = std::strcmp(name, captureAgentTitle) == 0;
        XFree(name);
        if (result.found) describeWindow(display_, children[i], &result);
    }
    if (children != nullptr) XFree(children);
    return result;
}
