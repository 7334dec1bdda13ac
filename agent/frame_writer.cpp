#include "frame_writer.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* uniqueSuffix = "XXXXXX";
constexpr mode_t fileMode = 0600;

bool writeAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        ssize_t written = write(fd, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        size -= std::size_t(written);
    }
    return true;
}

}  // namespace

AtomicFileWriter::AtomicFileWriter(std::string directory, std::string name)
    : directory_(std::move(directory)),
      name_(std::move(name)),
      temporaryPrefix_("." + name_ + ".") {}

bool AtomicFileWriter::replace(const std::uint8_t* data, std::size_t size) {
    std::string temporary = directory_ + "/" + temporaryPrefix_ + uniqueSuffix;
    int fd = mkostemp(&temporary[0], O_CLOEXEC);
    if (fd < 0) {
        error_ = "cannot create a file in " + directory_ + ": " + std::strerror(errno);
        return false;
    }
    // mkostemp's mode is narrowed by the umask; readers expect exactly 0600.
    bool ok = fchmod(fd, fileMode) == 0 && writeAll(fd, data, size);
    int savedErrno = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    if (ok && rename(temporary.c_str(), path().c_str()) != 0) {
        ok = false;
        savedErrno = errno;
    }
    if (!ok) {
        unlink(temporary.c_str());
        error_ = "cannot write " + path() + ": " + std::strerror(savedErrno);
    }
    return ok;
}

void AtomicFileWriter::removeLeftovers() const {
    DIR* dir = opendir(directory_.c_str());
    if (dir == nullptr) return;
    const std::size_t expectedLength = temporaryPrefix_.size() + std::strlen(uniqueSuffix);
    while (const dirent* entry = readdir(dir)) {
        const std::string entryName = entry->d_name;
        if (entryName.size() != expectedLength ||
            entryName.compare(0, temporaryPrefix_.size(), temporaryPrefix_) != 0) {
            continue;
        }
        struct stat info;
        if (fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode) && info.st_uid == geteuid()) {
            unlinkat(dirfd(dir), entry->d_name, 0);
        }
    }
    closedir(dir);
}
