#pragma once

#include <cstddef>

// Where the capture file lives on Windows; the visualisers and the agent both
// ask captureDirectory(), which uses this with the fixed choices below.
//
// The first agents wrote "c:\lumigrabtemp.raw", and an agent that still does
// must keep working, so the root of C: comes first. But since Windows Vista
// the root of the system drive lets a standard user create folders only, not
// files, so there the file moves to a folder of the user's own.

// The preferred place, without a trailing separator.
constexpr const char* legacyCaptureDirectory = "c:";
// The folder made for the file under the user's local application data.
constexpr const char* fallbackCaptureFolder = "lumigrab";

// Writes into `out` `preferred` when this user may create and remove files
// there, else `userBase`\fallbackCaptureFolder, which is created when
// missing. False when neither can be had (or `out` is too small).
bool chooseCaptureDirectory(const char* preferred, const char* userBase, char* out,
                            std::size_t capacity);
