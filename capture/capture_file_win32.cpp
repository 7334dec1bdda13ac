#include <windows.h>

#include <cstdio>
#include <cstring>

#include "capture_file.h"

namespace {
constexpr const char* captureDirectoryPath = "c:";
}

bool captureDirectory(char* out, std::size_t capacity) {
    int n = std::snprintf(out, capacity, "%s", captureDirectoryPath);
    return n > 0 && std::size_t(n) < capacity;
}

bool captureFilePath(char* out, std::size_t capacity) {
    int n = std::snprintf(out, capacity, "%s\\%s", captureDirectoryPath, captureFileName);
    return n > 0 && std::size_t(n) < capacity;
}

long readCaptureFile(unsigned char* dest, std::size_t maxBytes) {
    char path[MAX_PATH];
    if (!captureFilePath(path, sizeof path)) return -1;

    // The agent may hold the file open for writing, or replace it, while we
    // read: share everything.
    HANDLE file =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return -1;
    }

    std::size_t total = 0;
    while (total < maxBytes) {
        DWORD got = 0;
        DWORD want = static_cast<DWORD>(maxBytes - total);
        if (!ReadFile(file, dest + total, want, &got, nullptr) || got == 0) break;
        total += got;
    }
    CloseHandle(file);
    return static_cast<long>(total);
}
