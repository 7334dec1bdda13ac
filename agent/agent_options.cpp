#include "agent_options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "builtin_pictures.h"
#include "capture_agent.h"
#include "capture_file.h"

namespace {

bool parseFps(const std::string& text, int* fps) {
    if (text.empty() || text[0] < '0' || text[0] > '9') return false;
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < minimumFps || value > maximumFps) return false;
    *fps = int(value);
    return true;
}

OptionsResult failure(std::string message) {
    OptionsResult result;
    result.error = std::move(message);
    return result;
}

}  // namespace

OptionsResult parseAgentOptions(const std::vector<std::string>& args) {
    OptionsResult result;
    AgentOptions& options = result.options;
    options.bare = args.empty();
    bool help = false;
    std::string actionOption;   // the last of --version, --list, --stop
    std::string captureOption;  // the last option that only capturing uses
    std::string conflict;

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool inlineValue = false;
        std::size_t equals = name.find('=');
        if (name.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
            inlineValue = true;
        }

        auto takeValue = [&](std::string* out) {
            if (inlineValue) {
                *out = value;
            } else if (i + 1 < args.size()) {
                *out = args[++i];
            } else {
                return false;
            }
            return !out->empty();
        };
        const bool isFlag = name == "--help" || name == "-h" || name == "--version" ||
                            name == "--list" || name == "--stop" || name == "--mirror";
        if (isFlag && inlineValue) return failure("option " + name + " takes no value");

        if (name == "--help" || name == "-h") {
            help = true;
        } else if (name == "--version" || name == "--list" || name == "--stop") {
            const auto action = name == "--version" ? AgentOptions::Action::Version
                                : name == "--list"  ? AgentOptions::Action::List
                                                    : AgentOptions::Action::Stop;
            if (!actionOption.empty() && actionOption != name) {
                conflict = "options " + actionOption + " and " + name + " cannot be used together";
            }
            actionOption = name;
            options.action = action;
        } else if (name == "--mirror") {
            options.mirror = true;
            captureOption = name;
        } else if (name == "--source") {
            if (!takeValue(&options.source)) return failure("option --source needs a value");
            captureOption = name;
        } else if (name == "--pipeline") {
            if (!takeValue(&options.pipeline)) return failure("option --pipeline needs a value");
            captureOption = name;
        } else if (name == "--fps") {
            std::string text;
            if (!takeValue(&text)) return failure("option --fps needs a value");
            if (!parseFps(text, &options.fps)) {
                return failure("option --fps needs a whole number from " +
                               std::to_string(minimumFps) + " to " + std::to_string(maximumFps) +
                               ", not '" + text + "'");
            }
            captureOption = name;
        } else if (name.compare(0, 1, "-") == 0) {
            return failure("unknown option '" + name + "'");
        } else {
            return failure("unexpected argument '" + name + "'");
        }
    }

    if (help) {
        options.action = AgentOptions::Action::Help;
        result.ok = true;
        return result;
    }
    if (!conflict.empty()) return failure(conflict);
    if (!actionOption.empty() && !captureOption.empty()) {
        return failure("options " + actionOption + " and " + captureOption +
                       " cannot be used together");
    }
    if (!options.source.empty() && !options.pipeline.empty()) {
        return failure("options --source and --pipeline cannot be used together");
    }
    result.ok = true;
    return result;
}

std::string agentUsage(const std::string& program) {
    const SystemHelp help = systemHelp();
    std::string text = "Usage: " + program +
                       " [OPTION]...\n"
                       "Writes the newest camera frame for the visualisers, 160x120 pixels, about\n"
                       "--fps times a second.\n"
                       "\n" +
                       std::string(help.sourceOptions) + "  --fps N           frames a second, " +
                       std::to_string(minimumFps) + " to " + std::to_string(maximumFps) +
                       " (default 30)\n"
                       "  --mirror          mirror left and right, as in a selfie view\n"
                       "  --list            list the cameras it can see, marking the default\n"
                       "  --stop            stop the running agent and wait for it to end\n"
                       "  --help            show this help\n"
                       "  --version         show the version\n"
                       "\n"
                       "Built-in sources:\n";
    for (const BuiltinSource& builtin : builtinSources()) {
        text += "  ";
        text += builtin.name;
        text.append(18 - std::string(builtin.name).size(), ' ');
        text += builtin.summary;
        text += '\n';
    }
    text += "\n" + help.lifetime +
            "\n"
            "The capture folder needs room for two frames (" +
            std::to_string(2 * captureFrameBytes / 1000) +
            " kB): each frame is written\n"
            "beside the last before it replaces it.\n"
            "\n"
            "Exit status:\n"
            "  0  stopped as asked or on its own (see above), or information printed\n"
            "  1  the named source cannot be opened, output cannot be written, or --stop\n"
            "     could not stop the agent\n"
            "  2  bad or conflicting options\n"
            "  3  another agent is already running\n"
            "  4  no usable folder for the capture file\n" +
            help.extraStatuses;
    return text;
}

int finishOutput(int status) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "%s: cannot write the output: %s\n", captureAgentCommand,
                     std::strerror(errno));
        return exitFailed;
    }
    return status;
}
