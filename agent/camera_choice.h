#pragma once

#include <string>
#include <vector>

// A camera as --list shows it: numbered from 1 in the order a bare start
// tries them, so the first is the one a bare start takes.
struct CameraEntry {
    std::string name;
    std::string node;  // device path or PipeWire node, where known
};

struct CameraPick {
    // The text names a camera: a whole number, or a camera's name or node.
    bool refersToCamera = false;
    // Index into the list when found; -1 with `error` when not.
    int index = -1;
    std::string error;
};

// Whether `text` is a whole number, which --source always takes as a
// camera's number.
bool isCameraNumber(const std::string& text);

// Reads the text given to --source as --list shows cameras: a whole number
// is always a camera number; otherwise a camera's exact name, then its name
// in any case when only one matches, then its node.
CameraPick pickCamera(const std::string& text, const std::vector<CameraEntry>& cameras);

// What --list prints.
std::string cameraListing(const std::vector<CameraEntry>& cameras, const std::string& program);
