#include "source_plan.h"

#include <sys/stat.h>

#include "capture_file.h"

namespace {

std::string frameCaps(const char* format, int width, int height, int fps) {
    std::string caps = "video/x-raw";
    if (format != nullptr) caps += std::string(",format=") + format;
    return caps + ",width=" + std::to_string(width) + ",height=" + std::to_string(height) +
           ",framerate=" + std::to_string(fps) + "/1";
}

// The agent draws the built-in pictures itself; the clock at the sink paces
// them.
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

bool planForSource(const std::string& source, int fps, SourcePlan* plan, std::string* error) {
    if (const BuiltinSource* builtin = findBuiltinSource(source)) {
        plan->kind = SourceKind::Builtin;
        plan->label = source;
        plan->generated = true;
        plan->exactFrames = true;
        plan->picture = builtin->picture;
        plan->launch = patternLaunch(fps);
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
