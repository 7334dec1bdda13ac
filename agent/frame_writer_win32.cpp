#include <windows.h>

#include <string>

#include "frame_writer.h"
#include "windows_error_win32.h"

namespace {

// A visualiser opens the file for a few microseconds each pass; one that
// does not share deletion (older ones) blocks the replacement meanwhile, so
// it is tried again for up to a few frames' time.
constexpr ULONGLONG replaceRetryBudgetMilliseconds = 100;
constexpr DWORD replaceRetryMilliseconds = 1;

bool writeAll(HANDLE file, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        DWORD written = 0;
        const DWORD chunk = size > 0x40000000u ? 0x40000000u : DWORD(size);
        if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

bool heldByReader(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
}

}  // namespace

AtomicFileWriter::AtomicFileWriter(std::string directory, std::string name)
    : directory_(std::move(directory)),
      name_(std::move(name)),
      temporaryPrefix_("." + name_ + ".") {}

// Windows has no lease to tell that nobody holds a spare file, so every frame
// goes into a new file and nothing is kept between frames.
AtomicFileWriter::~AtomicFileWriter() = default;

bool AtomicFileWriter::replace(const std::uint8_t* data, std::size_t size) {
    // One writer per process, so the process id makes the name unique.
    const std::string temporary =
        directory_ + "\\" + temporaryPrefix_ + std::to_string(GetCurrentProcessId());
    const std::string target = directory_ + "\\" + name_;
    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error_ = "cannot create a file in " + directory_ + ": " + windowsErrorText(GetLastError());
        return false;
    }
    bool ok = writeAll(file, data, size);
    DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    if (!CloseHandle(file) && ok) {
        ok = false;
        error = GetLastError();
    }
    const ULONGLONG firstTry = GetTickCount64();
    while (ok && !MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        error = GetLastError();
        if (!heldByReader(error) || GetTickCount64() - firstTry > replaceRetryBudgetMilliseconds) {
            ok = false;
        } else {
            Sleep(replaceRetryMilliseconds);
        }
    }
    if (!ok) {
        DeleteFileA(temporary.c_str());
        error_ = "cannot write " + target + ": " + windowsErrorText(error);
    }
    return ok;
}

void AtomicFileWriter::removeLeftovers() const {
    const std::string pattern = directory_ + "\\" + temporaryPrefix_ + "*";
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            DeleteFileA((directory_ + "\\" + found.cFileName).c_str());
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}
