#pragma once

#include <cstddef>

// The capture file holds one headerless frame written by the capture agent:
// 160 x 120 pixels, 3 bytes each in blue, green, red order, rows contiguous,
// the file's first row first. Anything after the frame is ignored.
constexpr int captureFrameWidth = 160;
constexpr int captureFrameHeight = 120;
constexpr int captureBytesPerPixel = 3;
constexpr std::size_t captureFrameBytes =
    std::size_t(captureFrameWidth) * captureFrameHeight * captureBytesPerPixel;

constexpr const char* captureFileName = "lumigrabtemp.raw";

// The directory that holds the capture file, without a trailing separator,
// written into `out`. Returns false when no safe directory can be had (for
// instance a private fallback directory owned by someone else). Creates the
// private fallback directory when it is missing. Allocates nothing.
bool captureDirectory(char* out, std::size_t capacity);

// The full path of the capture file, on the same terms as captureDirectory.
bool captureFilePath(char* out, std::size_t capacity);

// Reads up to `maxBytes` from the start of the capture file into `dest`.
// A missing file is created empty (owner read and write only) and yields 0.
// Returns the number of bytes read, or -1 when the file could not be opened
// safely (not a regular file, not ours, unreadable, a symlink, a FIFO...);
// it never blocks on such a file. Bytes past those read are left untouched.
long readCaptureFile(unsigned char* dest, std::size_t maxBytes);
