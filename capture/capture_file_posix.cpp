#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "capture_file.h"

namespace {

constexpr mode_t privateDirectoryMode = 0700;
constexpr mode_t captureFileMode = 0600;

bool isPrivateDirectory(const char* path) {
    struct stat info;
    if (lstat(path, &info) != 0) return false;
    return S_ISDIR(info.st_mode) && info.st_uid == geteuid() &&
           (info.st_mode & 07777) == privateDirectoryMode;
}

}  // namespace

bool captureDirectory(char* out, std::size_t capacity) {
    // The per-session runtime directory is private to the user already.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] != '\0') {
        int n = std::snprintf(out, capacity, "%s", runtime);
        return n > 0 && std::size_t(n) < capacity;
    }
    // /tmp is shared with everyone: only a directory that we own and that
    // nobody else can enter is safe from planted files and symlinks.
    int n =
        std::snprintf(out, capacity, "/tmp/lumigrab-%lu", static_cast<unsigned long>(geteuid()));
    if (n <= 0 || std::size_t(n) >= capacity) return false;
    if (mkdir(out, privateDirectoryMode) != 0 && errno != EEXIST) return false;
    return isPrivateDirectory(out);
}

bool captureFilePath(char* out, std::size_t capacity) {
    if (!captureDirectory(out, capacity)) return false;
    std::size_t used = 0;
    while (out[used] != '\0') ++used;
    int n = std::snprintf(out + used, capacity - used, "/%s", captureFileName);
    return n > 0 && std::size_t(n) < capacity - used;
}

long readCaptureFile(unsigned char* dest, std::size_t maxBytes) {
    char path[4096];
    if (!captureFilePath(path, sizeof path)) return -1;

    // O_NOFOLLOW refuses a planted symlink, O_NONBLOCK keeps a FIFO from
    // hanging the display pass.
    const int readFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int fd = open(path, readFlags);
    if (fd < 0 && errno == ENOENT) {
        // O_EXCL also refuses a dangling symlink, which would otherwise
        // create a file wherever it points.
        int created =
            open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, captureFileMode);
        if (created >= 0) {
            close(created);
            return 0;
        }
        if (errno != EEXIST) return -1;
        fd = open(path, readFlags);  // the agent won the race: read its file
    }
    if (fd < 0) return -1;

    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid()) {
        close(fd);
        return -1;
    }

    std::size_t total = 0;
    while (total < maxBytes) {
        ssize_t got = read(fd, dest + total, maxBytes - total);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        total += std::size_t(got);
    }
    close(fd);
    return static_cast<long>(total);
}
