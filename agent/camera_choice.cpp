#include "camera_choice.h"

#include <algorithm>
#include <cctype>

namespace {

std::string lowered(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string cameraCount(std::size_t count) {
    if (count == 0) return "no camera is connected";
    return std::to_string(count) + (count == 1 ? " camera is" : " cameras are") + " connected";
}

}  // namespace

bool isCameraNumber(const std::string& text) {
    return !text.empty() && text.size() <= 9 &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

CameraPick pickCamera(const std::string& text, const std::vector<CameraEntry>& cameras) {
    CameraPick pick;
    if (isCameraNumber(text)) {
        pick.refersToCamera = true;
        const long number = std::stol(text);
        if (number >= 1 && std::size_t(number) <= cameras.size()) {
            pick.index = int(number - 1);
        } else {
            pick.error = "there is no camera " + text + ": " + cameraCount(cameras.size());
        }
        return pick;
    }
    const auto found = [&](std::size_t i) {
        pick.refersToCamera = true;
        pick.index = int(i);
        return pick;
    };
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        if (cameras[i].name == text) return found(i);
    }
    int matches = 0;
    std::size_t last = 0;
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        if (lowered(cameras[i].name) == lowered(text)) {
            ++matches;
            last = i;
        }
    }
    if (matches == 1) return found(last);
    if (matches > 1) {
        pick.refersToCamera = true;
        pick.error = "several cameras are called that; choose one by its number (see --list)";
        return pick;
    }
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        if (!cameras[i].node.empty() && cameras[i].node == text) return found(i);
    }
    return pick;
}

std::string cameraListing(const std::vector<CameraEntry>& cameras, const std::string& program) {
    if (cameras.empty()) {
        return "No cameras found. Without one, " + program + " shows its built-in picture.\n";
    }
    std::string text = "Cameras, in the order a bare start tries them:\n";
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        text += "  " + std::to_string(i + 1) + "  " + cameras[i].name;
        if (!cameras[i].node.empty()) text += " (" + cameras[i].node + ")";
        if (i == 0) text += "  [default]";
        text += '\n';
    }
    text += "Choose one with --source NUMBER or --source \"NAME\".\n";
    return text;
}
