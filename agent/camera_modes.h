#pragma once

#include <vector>

// Which of a camera's modes the agent asks for. The frame is tiny, so as on
// every system a modest uncompressed mode comes first: a full-size or
// compressed one only costs decoding and scaling.

enum class CameraEncoding { Raw, Jpeg, Other };

struct CameraMode {
    CameraEncoding encoding = CameraEncoding::Other;
    int width = 0;
    int height = 0;
    double fps = 0;
};

// The index of the mode to use, -1 when there is none. In order of
// preference: raw up to 640 x 480, JPEG up to 1280 x 720 (both at 15 to 120
// frames a second and at least the frame's size), any raw mode, any JPEG
// mode, else the camera's first. Within a class the smallest picture wins,
// then the higher rate.
int chooseCameraMode(const std::vector<CameraMode>& modes);
