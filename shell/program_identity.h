#pragma once

#include <cstddef>
#include <span>

// One image file as it is stored, for example a PNG.
struct EncodedImage {
    const unsigned char* data;
    std::size_t size;
};

// Who a program is to the user and the desktop. The build writes one per
// program, from the program's name, its about.ini and its checked-in icons.
struct ProgramIdentity {
    // The installed command and the instance name of its window, which
    // the program's menu entry names as StartupWMClass.
    const char* command;
    // The class name that every program of the family shares.
    const char* windowClass;
    const char* version;
    // What the space bar does, for --help; null where it does nothing.
    const char* spaceKeyHelp;
    // The window icon at a few sizes; empty where the executable carries
    // its icon itself.
    std::span<const EncodedImage> icons;
};

extern const ProgramIdentity programIdentity;
