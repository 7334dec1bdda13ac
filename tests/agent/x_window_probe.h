#pragma once

#include <string>

struct _XDisplay;

struct AgentWindow {
    bool found = false;
    bool mapped = false;
    std::string netWmNameType;
};

// A connection to $DISPLAY that looks for the agent's window. Kept out of
// the test files because Xlib's macros clash with GoogleTest. Holding the
// connection also keeps a server without -noreset from resetting between
// looks.
class XWindowProbe {
   public:
    XWindowProbe();
    XWindowProbe(const XWindowProbe&) = delete;
    XWindowProbe& operator=(const XWindowProbe&) = delete;
    ~XWindowProbe();

    bool connected() const { return display_ != nullptr; }
    // The visualisers' own check for a running agent.
    bool agentShown();
    // Looks at the agent's window as a window manager would.
    AgentWindow describeAgentWindow();

   private:
    _XDisplay* display_;
};
