#include "agent_options.h"

#include <cerrno>
#include <cstdlib>

#include "builtin_pictures.h"

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
                            name == "--list" || name == "--mirror";
        if (isFlag && inlineValue) return failure("option " + name + " takes no value");

        if (name == "--help" || name == "-h") {
            options.action = AgentOptions::Action::Help;
        } else if (name == "--version") {
            options.action = AgentOptions::Action::Version;
        } else if (name == "--list") {
            options.action = AgentOptions::Action::List;
        } else if (name == "--mirror") {
            options.mirror = true;
        } else if (name == "--source") {
            if (!takeValue(&options.source)) return failure("option --source needs a value");
        } else if (name == "--pipeline") {
            if (!takeValue(&options.pipeline)) return failure("option --pipeline needs a value");
        } else if (name == "--fps") {
            std::string text;
            if (!takeValue(&text)) return failure("option --fps needs a value");
            if (!parseFps(text, &options.fps)) {
                return failure("option --fps needs a whole number from " +
                               std::to_string(minimumFps) + " to " + std::to_string(maximumFps) +
                               ", not '" + text + "'");
            }
        } else if (name.compare(0, 1, "-") == 0) {
            return failure("unknown option '" + name + "'");
        } else {
            return failure("unexpected argument '" + name + "'");
        }
    }

    if (!options.source.empty() && !options.pipeline.empty()) {
        return failure("options --source and --pipeline cannot be used together");
    }
    result.ok = true;
    return result;
}

std::string agentUsage(const std::string& program) {
    std::string text = "Usage: " + program +
                       " [OPTION]...\n"
                       "Writes the newest camera frame for the visualisers, 160x120 pixels, about\n"
                       "--fps times a second. With no source named it uses the first camera that\n"
                       "opens, else a built-in moving picture.\n"
                       "\n" +
                       sourceOptionsHelp() + "  --fps N           frames a second, " +
                       std::to_string(minimumFps) + " to " + std::to_string(maximumFps) +
                       " (default 30)\n"
                       "  --mirror          mirror left and right, as in a selfie view\n"
                       "  --list            list the cameras it can see\n"
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
    text +=
        "\n"
        "Only one agent runs at a time. Started with no arguments while another runs,\n"
        "it exits quietly.\n"
        "\n"
        "Exit status: 0 done, 1 the source failed, 2 bad options, 3 another agent runs.\n";
    return text;
}
