#include "agent_options.h"

SystemHelp systemHelp() {
    return {
        .sourceOptions =
            "  --source SOURCE   a camera by the number or name --list shows, a video\n"
            "                    file, or a built-in source (see below)\n",
        .lifetime =
            "Started with no source named, as the visualisers start it, it takes the first\n"
            "camera that opens, else shows the built-in picture, and looks for a camera\n"
            "again when its camera is pulled out. With a source named it keeps trying\n"
            "that source until it is stopped. Only one agent runs at a time; started with\n"
            "no arguments while another runs, it exits quietly.\n",
        .extraStatuses = "",
    };
}
