#pragma once

#include <string>
#include <vector>

struct AgentOptions {
    enum class Action { Run, Help, Version, List };
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

constexpr int minimumFps = 1;
constexpr int maximumFps = 120;

// Parses the arguments after the program name. Accepts "--name value" and
// "--name=value" for options that take a value.
OptionsResult parseAgentOptions(const std::vector<std::string>& args);

// The --help text, naming `program` and the built-in sources.
std::string agentUsage(const std::string& program);

// The --help lines for the options that name a source, as this system's
// agent understands them; defined beside its source planning.
const char* sourceOptionsHelp();
