#pragma once

#include <string>

#include "builtin_pictures.h"

enum class SourceKind { Builtin, Device, File, Pipeline, Camera };

// How to build the front of a capture pipeline. The agent appends
// captureTail() to `launch`; for a Camera the source element comes from the
// camera itself and is linked to the element named cameraInputName.
struct SourcePlan {
    SourceKind kind = SourceKind::Builtin;
    std::string label;
    std::string launch;
    // A built-in picture: drawn by the agent into the app source named
    // patternSourceName.
    bool generated = false;
    BuiltinPicture picture = BuiltinPicture::Pattern;
    // The source already gives BGR frames of the capture size at the agent's
    // rate, so nothing needs to go between it and the sink.
    bool exactFrames = false;
};

constexpr const char* appSinkName = "lumigrab_sink";
constexpr const char* patternSourceName = "lumigrab_pattern";
constexpr const char* cameraInputName = "lumigrab_camera_input";
// The first element after the source in a converting tail.
constexpr const char* rateElementName = "lumigrab_rate";
// Element names the agent keeps for itself in a pipeline description.
constexpr const char* reservedNamePrefix = "lumigrab_";

// Resolves the text given to --source: a built-in name, a camera device
// (a character device) or a video file. False with a reason when it names
// none of them.
bool planForSource(const std::string& source, int fps, SourcePlan* plan, std::string* error);
SourcePlan planForPipeline(const std::string& description);
SourcePlan planForCamera(const std::string& label);

// Everything after the source: rate limit, crop to the frame's 4:3 shape,
// scale, convert to BGR 160x120, and a sink that keeps only the newest frame;
// for a plan with exactFrames, the sink alone.
std::string captureTail(const SourcePlan& plan, int fps);

// A reason as GStreamer words it, without its closing full stop, to be
// followed by more of a sentence.
std::string clauseOf(const std::string& reason);

// `text` as a double-quoted value that the pipeline parser reads back as is.
std::string quoteForLaunch(const std::string& text);
