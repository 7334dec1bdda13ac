#pragma once

#include <X11/Xlib.h>

#include <string>

// The agent's presence on the X display: an unmapped top-level window whose
// title the visualisers look for before starting an agent of their own.
class AgentPresence {
   public:
    AgentPresence() = default;
    AgentPresence(const AgentPresence&) = delete;
    AgentPresence& operator=(const AgentPresence&) = delete;
    ~AgentPresence();

    // Opens the display named by $DISPLAY; false when there is none.
    bool connect();
    // The display asked for, as $DISPLAY names it; empty when unset.
    const std::string& displayName() const { return displayName_; }
    bool connected() const { return display_ != nullptr; }

    bool otherAgentShown();
    // Creates the window. It is never mapped, so it cannot cover a
    // visualiser or take its focus.
    void announce();

    int connectionFd() const;
    // Reads whatever the server sent; false once the connection is lost.
    bool drainEvents();

   private:
    std::string displayName_;
    Display* display_ = nullptr;
    Window window_ = 0;
};
