#pragma once

#include <string>
#include <vector>

struct AgentOptions {
    enum class Action { Run, Help, Version, List, Stop };
    Action action = Action::Run;
    // At most one of these is set; both empty means "first camera that opens,
    // else the built-in picture".
    std::string source;
    std::string pipeline;
    int fps = 30;
    bool mirror = false;
    // Started with no arguments at all, as the visualisers start it.
    bool bare = true;
};

struct OptionsResult {
    bool ok = false;
    AgentOptions options;
    std::string error;
};

// The agent's exit statuses, as --help lists them.
enum ExitStatus {
    exitDone = 0,
    exitFailed = 1,
    exitBadOptions = 2,
    exitAlreadyRunning = 3,
    exitNoFolder = 4,
    exitDisplayLost = 5,
};

// A bare-started agent stops after this long without a reader.
constexpr int idleStopSeconds = 10;
// A bare-started agent keeps a lost camera's last picture this long, in
// case it is back, before the built-in picture takes over.
constexpr int keepLostPictureSeconds = 3;

constexpr int minimumFps = 1;
constexpr int maximumFps = 120;

// Parses the arguments after the program name. Accepts "--name value" and
// "--name=value" for options that take a value. --help wins over anything
// else; other options that ask for different things are refused.
OptionsResult parseAgentOptions(const std::vector<std::string>& args);

// The --help text, naming `program` and the built-in sources.
std::string agentUsage(const std::string& program);

// Ends printing to standard output: `status` when everything reached it,
// else exitFailed with a message. Standard output may be a full disk or a
// closed pipe, and saying nothing then would report success for output
// nobody got.
int finishOutput(int status);

// The parts of --help that differ between the Linux and the Windows agent.
struct SystemHelp {
    const char* sourceOptions;  // the lines of the options that name a source
    std::string lifetime;       // what a bare start takes, and when it stops
    const char* extraStatuses;  // exit status lines only this system has
};
SystemHelp systemHelp();
