#include "frame_writer.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* uniqueSuffix = "XXXXXX";
constexpr mode_t fileMode = 0600;

bool writeAll(int fd, const std::uint8_t* data, std::size_t size, off_t offset = -1) {
    while (size > 0) {
        ssize_t written = offset < 0 ? write(fd, data, size) : pwrite(fd, data, size, offset);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        size -= std::size_t(written);
        if (offset >= 0) offset += written;
    }
    return true;
}

}  // namespace

AtomicFileWriter::AtomicFileWriter(std::string directory, std::string name)
    : directory_(std::move(directory)),
      name_(std::move(name)),
      temporaryPrefix_("." + name_ + ".") {
    // A reader opening the spare while it is leased (it cannot by name, but
    // one that found the old frame just before a swap might) only makes the
    // system tell the lease holder with SIGIO, whose default would end us.
    signal(SIGIO, SIG_IGN);
}

AtomicFileWriter::~AtomicFileWriter() {
    dropSpare();
    if (current_ >= 0) close(current_);
}

bool AtomicFileWriter::replace(const std::uint8_t* data, std::size_t size) {
    if (reuse_ && spare_ < 0 && current_ >= 0) makeSpare();
    if (spare_ >= 0) {
        switch (replaceWithSpare(data, size)) {
            case Reuse::Done: return true;
            case Reuse::Failed: return false;
            case Reuse::Unavailable: break;
        }
    }
    return replaceWithNewFile(data, size);
}

AtomicFileWriter::Reuse AtomicFileWriter::replaceWithSpare(const std::uint8_t* data,
                                                           std::size_t size) {
    if (fcntl(spare_, F_SETLEASE, F_WRLCK) != 0) {
        // Busy: a reader still holds this old frame; anything else: the
        // system grants no leases here.
        if (errno != EAGAIN && errno != EBUSY) reuse_ = false;
        dropSpare();
        return Reuse::Unavailable;
    }
    const bool written = writeAll(spare_, data, size, 0) &&
                         (spareSize_ == size || ftruncate(spare_, off_t(size)) == 0);
    const int savedErrno = errno;
    fcntl(spare_, F_SETLEASE, F_UNLCK);
    if (!written) {
        error_ = "cannot write " + path() + ": " + std::strerror(savedErrno);
        dropSpare();
        return Reuse::Failed;
    }

    const std::string spare = directory_ + "/" + spareName_;
    bool exchanged = false;
    if (targetIsCurrent()) {
        exchanged =
            renameat2(AT_FDCWD, spare.c_str(), AT_FDCWD, path().c_str(), RENAME_EXCHANGE) == 0;
        // The file system cannot exchange names: rename from now on.
        if (!exchanged && (errno == EINVAL || errno == ENOSYS)) reuse_ = false;
    }
    if (exchanged) {
        // The frame before is now the spare.
        const int previous = current_;
        const std::size_t previousSize = currentSize_;
        current_ = -1;
        becomeCurrent(spare_, size);
        spare_ = previous;
        spareSize_ = previousSize;
        return Reuse::Done;
    }
    if (rename(spare.c_str(), path().c_str()) != 0) {
        error_ = "cannot write " + path() + ": " + std::strerror(errno);
        dropSpare();
        return Reuse::Failed;
    }
    becomeCurrent(spare_, size);
    spare_ = -1;
    spareName_.clear();
    return Reuse::Done;
}

bool AtomicFileWriter::replaceWithNewFile(const std::uint8_t* data, std::size_t size) {
    std::string temporary = directory_ + "/" + temporaryPrefix_ + uniqueSuffix;
    int fd = mkostemp(&temporary[0], O_CLOEXEC);
    if (fd < 0) {
        error_ = "cannot create a file in " + directory_ + ": " + std::strerror(errno);
        return false;
    }
    // mkostemp's mode is narrowed by the umask; readers expect exactly 0600.
    bool ok = fchmod(fd, fileMode) == 0 && writeAll(fd, data, size);
    int savedErrno = errno;
    if (!reuse_ && close(fd) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    if (ok && rename(temporary.c_str(), path().c_str()) != 0) {
        ok = false;
        savedErrno = errno;
    }
    if (!ok) {
        if (reuse_) close(fd);
        unlink(temporary.c_str());
        error_ = "cannot write " + path() + ": " + std::strerror(savedErrno);
        return false;
    }
    becomeCurrent(reuse_ ? fd : -1, size);
    return true;
}

void AtomicFileWriter::becomeCurrent(int fd, std::size_t size) {
    if (current_ >= 0) close(current_);
    current_ = fd;
    currentSize_ = size;
    struct stat info;
    if (fd >= 0 && fstat(fd, &info) == 0) {
        currentDevice_ = info.st_dev;
        currentInode_ = info.st_ino;
    } else if (fd >= 0) {
        close(fd);
        current_ = -1;
    }
}

void AtomicFileWriter::makeSpare() {
    std::string temporary = directory_ + "/" + temporaryPrefix_ + uniqueSuffix;
    const int fd = mkostemp(&temporary[0], O_CLOEXEC);
    if (fd < 0) return;
    if (fchmod(fd, fileMode) != 0) {
        close(fd);
        unlink(temporary.c_str());
        return;
    }
    spare_ = fd;
    spareSize_ = 0;
    spareName_ = temporary.substr(directory_.size() + 1);
}

void AtomicFileWriter::dropSpare() {
    if (spare_ < 0) return;
    unlink((directory_ + "/" + spareName_).c_str());
    close(spare_);
    spare_ = -1;
    spareName_.clear();
}

bool AtomicFileWriter::targetIsCurrent() const {
    struct stat target;
    return current_ >= 0 && lstat(path().c_str(), &target) == 0 && S_ISREG(target.st_mode) &&
           target.st_dev == currentDevice_ && target.st_ino == currentInode_;
}

void AtomicFileWriter::removeLeftovers() const {
    DIR* dir = opendir(directory_.c_str());
    if (dir == nullptr) return;
    const std::size_t expectedLength = temporaryPrefix_.size() + std::strlen(uniqueSuffix);
    while (const dirent* entry = readdir(dir)) {
        const std::string entryName = entry->d_name;
        if (entryName.size() != expectedLength ||
            entryName.compare(0, temporaryPrefix_.size(), temporaryPrefix_) != 0 ||
            entryName == spareName_) {
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
