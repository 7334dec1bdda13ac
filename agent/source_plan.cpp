#include "source_plan.h"

#include <sys/stat.h>

#include "capture_file.h"

namespace {

struct BuiltinEntry {
    BuiltinSource source;
    const char* testPattern;
};

// Solid colours come straight out of the test source in BGR, so nothing
// between it and the file can shift their values.
const std::vector<BuiltinEntry>& builtinEntries() {
    static const std::vector<BuiltinEntry> entries = {
        {{defaultPatternName, "flowing colours whose brightness drifts (the default)"}, nullptr},
        {{"bars", "still colour bars"}, "smpte75"},
        {{"red", "solid red"}, "red"},
        {{"green", "solid green"}, "green"},
        {{"blue", "solid blue"}, "blue"},
        {{"white", "solid white"}, "white"},
        {{"black", "solid black"}, "black"},
        {{"blink", "black and white in turn, one frame each"}, "blink"},
    };
    return entries;
}

std::string frameCaps(const char* format, int width, int height, int fps) {
    std::string caps = "video/x-raw";
    if (format != nullptr) caps += std::string(",format=") + format;
    return caps + ",width=" + std::to_string(width) + ",height=" + std::to_string(height) +
           ",framerate=" + std::to_string(fps) + "/1";
}

// The agent draws the built-in picture itself; the clock at the sink paces it.
std::string patternLaunch(int fps) {
    return std::string("appsrc name=") + patternSourceName +
           " format=time caps=" + frameCaps("BGR", captureFrameWidth, captureFrameHeight, fps);
}

bool isCharacterDevice(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

// Cameras are asked for a modest raw mode first: the frame is tiny, and a
// full-size or compressed mode only costs decoding and scaling.
const char* cameraPreference =
    "video/x-raw,width=[160,640],height=[120,480],framerate=[15/1,120/1];"
    "image/jpeg,width=[160,1280],height=[120,720],framerate=[15/1,120/1];"
    "video/x-raw;image/jpeg";

}  // namespace

const std::vector<BuiltinSource>& builtinSources() {
    static const std::vector<BuiltinSource> sources = [] {
        std::vector<BuiltinSource> list;
        for (const BuiltinEntry& entry : builtinEntries()) list.push_back(entry.source);
        return list;
    }();
    return sources;
}

bool planForSource(const std::string& source, int fps, SourcePlan* plan, std::string* error) {
    for (const BuiltinEntry& entry : builtinEntries()) {
        if (source != entry.source.name) continue;
        plan->kind = SourceKind::Builtin;
        plan->label = source;
        plan->generated = entry.testPattern == nullptr;
        plan->exactFrames = true;
        plan->launch = plan->generated
                           ? patternLaunch(fps)
                           : std::string("videotestsrc is-live=true pattern=") + entry.testPattern +
                                 " ! " +
                                 frameCaps("BGR", captureFrameWidth, captureFrameHeight, fps);
        return true;
    }

    plan->label = source;
    plan->generated = false;
    plan->exactFrames = false;
    if (isCharacterDevice(source)) {
        plan->kind = SourceKind::Device;
        plan->launch = "v4l2src device=" + quoteForLaunch(source) +
                       " ! capsfilter caps=" + quoteForLaunch(cameraPreference) + " ! decodebin";
        return true;
    }
    struct stat info;
    if (stat(source.c_str(), &info) != 0) {
        *error = "no such file, camera or built-in source";
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        *error = "is a directory";
        return false;
    }
    plan->kind = SourceKind::File;
    plan->launch = "filesrc location=" + quoteForLaunch(source) + " ! decodebin";
    return true;
}

SourcePlan planForPipeline(const std::string& description) {
    SourcePlan plan;
    plan.kind = SourceKind::Pipeline;
    plan.label = description;
    plan.launch = description;
    return plan;
}

SourcePlan planForCamera(const std::string& label) {
    SourcePlan plan;
    plan.kind = SourceKind::Camera;
    plan.label = label;
    plan.launch = std::string("capsfilter name=") + cameraInputName +
                  " caps=" + quoteForLaunch(cameraPreference) + " ! decodebin";
    return plan;
}

std::string captureTail(const SourcePlan& plan, int fps) {
    const std::string sink =
        std::string("appsink name=") + appSinkName + " max-buffers=1 drop=true sync=true";
    if (plan.exactFrames) return sink;
    return std::string("videorate name=") + rateElementName + " max-rate=" + std::to_string(fps) +
           " ! aspectratiocrop aspect-ratio=4/3 ! videoscale ! videoconvert ! video/x-raw,"
           "format=BGR,width=" +
           std::to_string(captureFrameWidth) + ",height=" + std::to_string(captureFrameHeight) +
           ",pixel-aspect-ratio=1/1 ! " + sink;
}

std::string clauseOf(const std::string& reason) {
    std::string clause = reason;
    while (!clause.empty() && (clause.back() == '.' || clause.back() == ' ')) clause.pop_back();
    return clause;
}

std::string quoteForLaunch(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}
