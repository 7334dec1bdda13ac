#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

// A fresh directory, removed with everything in it when done.
class TempDir {
   public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::vector<std::string> entries() const;

   private:
    std::string path_;
};

// The agent under test, started with its own capture directory. Without
// `display` it runs with no DISPLAY at all. `extraEnv` entries ("NAME=value")
// are added to its environment.
class Agent {
   public:
    Agent(const std::vector<std::string>& args, const std::string& runtimeDir, bool display = false,
          const std::vector<std::string>& extraEnv = {});
    Agent(const Agent&) = delete;
    Agent& operator=(const Agent&) = delete;
    ~Agent();

    pid_t pid() const { return pid_; }
    // Waits for the agent to end; false if it still runs after `seconds`.
    bool waitExit(double seconds);
    // Exit status after waitExit, -1 when it died from a signal.
    int exitStatus() const { return exitStatus_; }
    bool stop(int signalNumber);
    std::string errorOutput() const;
    std::string standardOutput() const;

   private:
    pid_t pid_ = -1;
    int exitStatus_ = -1;
    TempDir logs_;
};

// The agent program of this build.
const char* agentPath();

std::string capturePathIn(const std::string& runtimeDir);
std::vector<std::uint8_t> readWholeFile(const std::string& path);
void writeWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

// Polls until the capture file in `runtimeDir` holds a whole frame.
bool waitForFrame(const std::string& runtimeDir, double seconds);

// Polls `condition` every few milliseconds until it holds or `seconds` pass.
template <typename Condition>
bool eventually(double seconds, Condition condition);

std::vector<std::string> nonEmptyLines(const std::string& text);
void sleepSeconds(double seconds);
double monotonicSeconds();

template <typename Condition>
bool eventually(double seconds, Condition condition) {
    const double deadline = monotonicSeconds() + seconds;
    while (!condition()) {
        if (monotonicSeconds() > deadline) return false;
        sleepSeconds(0.01);
    }
    return true;
}
