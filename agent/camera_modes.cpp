#include "camera_modes.h"

#include "capture_file.h"

namespace {

constexpr double lowestFps = 15;
constexpr double highestFps = 120;

struct Limit {
    CameraEncoding encoding;
    int maxWidth, maxHeight;  // 0: any size or rate
};

constexpr Limit preferences[] = {
    {CameraEncoding::Raw, 640, 480},
    {CameraEncoding::Jpeg, 1280, 720},
    {CameraEncoding::Raw, 0, 0},
    {CameraEncoding::Jpeg, 0, 0},
};

bool fits(const CameraMode& mode, const Limit& limit) {
    if (mode.encoding != limit.encoding) return false;
    if (limit.maxWidth == 0) return true;
    return mode.width >= captureFrameWidth && mode.height >= captureFrameHeight &&
           mode.width <= limit.maxWidth && mode.height <= limit.maxHeight &&
           mode.fps >= lowestFps && mode.fps <= highestFps;
}

bool better(const CameraMode& a, const CameraMode& b) {
    const long areaA = long(a.width) * a.height, areaB = long(b.width) * b.height;
    if (areaA != areaB) return areaA < areaB;
    return a.fps > b.fps;
}

}  // namespace

int chooseCameraMode(const std::vector<CameraMode>& modes) {
    for (const Limit& limit : preferences) {
        int best = -1;
        for (std::size_t i = 0; i < modes.size(); ++i) {
            if (fits(modes[i], limit) && (best < 0 || better(modes[i], modes[std::size_t(best)]))) {
                best = int(i);
            }
        }
        if (best >= 0) return best;
    }
    return modes.empty() ? -1 : 0;
}
