#include "agent_presence_x11.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdlib>

#include "agent_window_x11.h"
#include "capture_agent.h"
#include "x11_properties.h"

namespace {

// Set by Xlib when the server goes away; the agent then leaves the
// connection alone instead of letting Xlib end the process mid-frame.
bool displayLost = false;

void noteDisplayLost(Display*, void*) { displayLost = true; }
int quietIoError(Display*) { return 0; }

}  // namespace

AgentPresence::~AgentPresence() {
    if (display_ == nullptr) return;
    if (!displayLost) {
        if (window_ != 0) XDestroyWindow(display_, window_);
        XCloseDisplay(display_);
    }
}

bool AgentPresence::connect() {
    const char* name = std::getenv("DISPLAY");
    displayName_ = name != nullptr ? name : "";
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) return false;
    XSetIOErrorHandler(quietIoError);
    XSetIOErrorExitHandler(display_, noteDisplayLost, nullptr);
    return true;
}

bool AgentPresence::otherAgentShown() {
    return display_ != nullptr && topLevelWindowTitled(display_, captureAgentTitle);
}

void AgentPresence::announce() {
    if (display_ == nullptr || window_ != 0) return;
    window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 1, 1, 0, 0, 0);

    setWindowTitle(display_, window_, captureAgentTitle);
    setWindowClass(display_, window_, "lumigrab", "Lumigrab");

    const unsigned long pid = static_cast<unsigned long>(getpid());
    XChangeProperty(display_, window_, XInternAtom(display_, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
    XFlush(display_);
}

int AgentPresence::connectionFd() const {
    return display_ != nullptr ? ConnectionNumber(display_) : -1;
}

bool AgentPresence::drainEvents() {
    if (display_ == nullptr || displayLost) return false;
    while (!displayLost && XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
    }
    return !displayLost;
}
