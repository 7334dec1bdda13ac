#include "agent_options.h"

SystemHelp systemHelp() {
    return {
        .sourceOptions =
            "  --source SOURCE   a camera by the number or name --list shows, a camera\n"
            "                    device (/dev/video0), a video file, or a built-in\n"
            "                    source (see below)\n"
            "  --pipeline DESC   any GStreamer source description, e.g.\n"
            "                    \"videotestsrc pattern=ball\"\n",
        .lifetime =
            "Started with no source named, as the visualisers start it, it takes the first\n"
            "camera that opens, else shows the built-in picture; it takes a camera that is\n"
            "plugged in later, goes back to the built-in picture a few seconds after its\n"
            "camera is pulled out, and stops when no visualiser has read the capture file\n"
            "for " +
            std::to_string(idleStopSeconds) +
            " seconds. With a source named it keeps trying that source until it is\n"
            "stopped. Only one agent runs at a time; started with no arguments while\n"
            "another runs, it exits quietly.\n",
        .extraStatuses = "  5  the X display went away\n",
    };
}
