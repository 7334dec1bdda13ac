#include <shlobj.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "capture_file.h"
#include "capture_location_win32.h"

namespace {

// True when this user may create a file in `directory` and remove it again,
// as the agent does with every frame; tried for real, since rights come from
// groups, inheritance and policies alike.
bool acceptsNewFiles(const char* directory) {
    char probe[MAX_PATH];
    const int n = std::snprintf(probe, sizeof probe, "%s\\.lumigrab-probe-%lu", directory,
                                static_cast<unsigned long>(GetCurrentProcessId()));
    if (n <= 0 || std::size_t(n) >= sizeof probe) return false;
    HANDLE file = CreateFileA(probe, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

bool copyPath(const char* path, char* out, std::size_t capacity) {
    const int n = std::snprintf(out, capacity, "%s", path);
    return n > 0 && std::size_t(n) < capacity;
}

// Decided once per process: the answer does not change while it runs, and
// a display pass must not create files.
struct CaptureLocation {
    bool found = false;
    char directory[MAX_PATH] = {};
};

const CaptureLocation& captureLocation() {
    static const CaptureLocation location = [] {
        CaptureLocation chosen;
        char localData[MAX_PATH] = {};
        if (FAILED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                    SHGFP_TYPE_CURRENT, localData))) {
            localData[0] = '\0';
        }
        chosen.found = chooseCaptureDirectory(legacyCaptureDirectory, localData, chosen.directory,
                                              sizeof chosen.directory);
        return chosen;
    }();
    return location;
}

}  // namespace

bool chooseCaptureDirectory(const char* preferred, const char* userBase, char* out,
                            std::size_t capacity) {
    if (acceptsNewFiles(preferred)) return copyPath(preferred, out, capacity);
    if (userBase == nullptr || userBase[0] == '\0') return false;
    const int n = std::snprintf(out, capacity, "%s\\%s", userBase, fallbackCaptureFolder);
    if (n <= 0 || std::size_t(n) >= capacity) return false;
    if (!CreateDirectoryA(out, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    const DWORD attributes = GetFileAttributesA(out);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool captureDirectory(char* out, std::size_t capacity) {
    const CaptureLocation& location = captureLocation();
    return location.found && copyPath(location.directory, out, capacity);
}

bool captureFilePath(char* out, std::size_t capacity) {
    const CaptureLocation& location = captureLocation();
    if (!location.found) return false;
    const int n = std::snprintf(out, capacity, "%s\\%s", location.directory, captureFileName);
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
