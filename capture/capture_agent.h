#pragma once

// What binds the visualisers to the capture agent: the agent announces itself
// with a top-level window of this title, and is started by this command name
// through the usual program search.
constexpr const char* captureAgentTitle = "TALVO LUMIGRAB AGENT";
constexpr const char* captureAgentCommand = "lumigrab";
