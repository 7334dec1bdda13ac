#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The pictures the agent shows without a camera, drawn by the agent itself,
// so every system shows the same bytes.
enum class BuiltinPicture { Pattern, Bars, Red, Green, Blue, White, Black, Blink };

// A source the agent can be asked for by name.
struct BuiltinSource {
    const char* name;
    const char* summary;
    BuiltinPicture picture;
};

const std::vector<BuiltinSource>& builtinSources();

// The source called `name`, or nullptr when there is none.
const BuiltinSource* findBuiltinSource(const std::string& name);

// The built-in picture used when no camera opens.
constexpr const char* defaultPatternName = "pattern";

// Draws frame number `index` of `picture`, shown `seconds` after the first,
// as BGR pixels, top row first, rows `stride` bytes apart, captureFrameWidth
// by captureFrameHeight.
void drawBuiltinPicture(BuiltinPicture picture, std::uint64_t index, double seconds,
                        std::uint8_t* bgr, std::size_t stride);
