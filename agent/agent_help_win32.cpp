#include "agent_options.h"

SystemHelp systemHelp() {
    return {
        .sourceOptions =
            "  --source SOURCE   a camera by the number or name --list shows, a video\n"
            "                    file, or a built-in source (see below)\n",
        .lifetime =
            "Started with no source named, as the visualisers start it, it takes the first\n"
            "camera that opens, else shows the built-in picture; it takes a camera that is\n"
            "plugged in later and goes back to the built-in picture a few seconds after\n"
            "its camera is pulled out. With a source named it keeps trying that source\n"
            "until it is stopped. Only one agent runs at a time; started with no\n"
            "arguments while another runs, it exits quietly.\n",
        .extraStatuses = "",
    };
}
