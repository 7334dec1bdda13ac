#include "source_plan.h"

#include <sys/stat.h>

#include <cmath>

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
        {{defaultPatternName, "moving colours whose brightness drifts (the default)"}, nullptr},
        {{"bars", "still colour bars"}, "smpte"},
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

// Soft colour bars under slowly moving rings and a bouncing ball; the drift
// element after the mix is retuned frame by frame from patternDriftAt().
std::string patternLaunch(int fps) {
    const std::string full = frameCaps("AYUV", captureFrameWidth, captureFrameHeight, fps);
    return "videotestsrc is-live=true pattern=smpte ! " + frameCaps(nullptr, 8, 4, fps) +
           " ! videoscale method=bilinear ! video/x-raw,width=" +
           std::to_string(captureFrameWidth) + ",height=" + std::to_string(captureFrameHeight) +
           " ! videoconvert ! lumigrab_mix.sink_0 "
           "videotestsrc is-live=true pattern=zone-plate kx2=6 ky2=8 kt=3 ! " +
           full +
           " ! lumigrab_mix.sink_1 "
           "videotestsrc is-live=true pattern=ball motion=wavy background-color=0x00000000 "
           "foreground-color=0xfffff4e0 ! " +
           full +
           " ! lumigrab_mix.sink_2 "
           "compositor name=lumigrab_mix background=black sink_1::alpha=0.4 "
           "sink_2::alpha=0.85 ! " +
           full + " ! videobalance name=" + driftElementName;
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
        plan->drifts = entry.testPattern == nullptr;
        plan->launch =
            plan->drifts ? patternLaunch(fps)
                         : std::string("videotestsrc is-live=true pattern=") + entry.testPattern +
                               " ! " + frameCaps("BGR", captureFrameWidth, captureFrameHeight, fps);
        return true;
    }

    plan->label = source;
    plan->drifts = false;
    if (source.compare(0, 5, "/dev/") == 0 || isCharacterDevice(source)) {
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

std::string captureTail(int fps) {
    return "videorate max-rate=" + std::to_string(fps) +
           " ! aspectratiocrop aspect-ratio=4/3 ! videoscale ! videoconvert ! video/x-raw,"
           "format=BGR,width=" +
           std::to_string(captureFrameWidth) + ",height=" + std::to_string(captureFrameHeight) +
           ",pixel-aspect-ratio=1/1 ! appsink name=" + appSinkName +
           " max-buffers=1 drop=true sync=true";
}

std::string quoteForLaunch(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

PatternDrift patternDriftAt(double seconds) {
    const double twoPi = 6.283185307179586;
    PatternDrift drift;
    // Hue turns once every 40 s; -1 and 1 are the same hue, so the wrap is seamless.
    drift.hue = std::fmod(seconds / 20.0, 2.0) - 1.0;
    drift.saturation = 1.0 + 0.35 * std::sin(twoPi * seconds / 17.0);
    // Two slow periods that rarely line up, so dark and bright spells vary in length.
    drift.brightness =
        -0.05 + 0.18 * std::sin(twoPi * seconds / 23.0) + 0.08 * std::sin(twoPi * seconds / 7.3);
    return drift;
}
