#pragma once

#include <cstdint>

// The smoothed twist per layer, in degrees.
extern float twistAngle;

// One step of the twist toward the frame's mean brightness divided by 5.
void followTwist(std::int32_t frameBrightnessSum);
