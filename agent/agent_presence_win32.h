#pragma once

#include <windows.h>

#include <functional>

// The agent's presence on the desktop: a top-level window titled
// captureAgentTitle, never shown, that visualisers look for before starting
// an agent; and a named mutex, so that of two agents started at the same
// moment only one runs.
class AgentPresence {
   public:
    AgentPresence() = default;
    AgentPresence(const AgentPresence&) = delete;
    AgentPresence& operator=(const AgentPresence&) = delete;
    ~AgentPresence();

    // True when another agent's window exists; its process id goes to
    // `processId` (0 when unknown).
    static bool otherAgentShown(unsigned long* processId);

    enum class StopOutcome { NoneRunning, Stopped, Refused, TimedOut };
    // Asks another agent to close, as the end of the session would, and
    // waits up to `waitMilliseconds` for its process to end; its process id
    // goes to `processId` (0 when none runs or it is unknown).
    static StopOutcome stopOther(unsigned long* processId, unsigned long waitMilliseconds);

    // Takes the one-agent mutex of this desktop session; false when another
    // agent holds it.
    bool claim();

    // Creates the window; false with the system's reason when it cannot.
    bool announce(unsigned long* error);

    // Runs `work` on a thread of its own while this thread serves the
    // window, and returns its result. `stop`, a manual-reset event, is set
    // when the window is asked to close (taskkill, the end of the session)
    // or the console sends Ctrl+C or closes; `work` must then return soon.
    // `everySecond` runs on this thread about once a second meanwhile.
    int serve(const std::function<int()>& work, HANDLE stop,
              const std::function<void()>& everySecond);

   private:
    HANDLE mutex_ = nullptr;
    HWND window_ = nullptr;
};
