#include "instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

long readPid(int fd) {
    char text[32] = {};
    ssize_t got = pread(fd, text, sizeof text - 1, 0);
    long pid = got > 0 ? std::strtol(text, nullptr, 10) : 0;
    return pid > 0 ? pid : 0;
}

int tryLock(int fd, int operation) {
    int result;
    do {
        result = flock(fd, operation | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result;
}

}  // namespace

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) close(fd_);
}

InstanceLock::Outcome InstanceLock::acquire(const std::string& path) {
    if (fd_ >= 0) return Outcome::Acquired;
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        error_ = "cannot open lock file " + path + ": " + std::strerror(errno);
        return Outcome::Failed;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid()) {
        error_ = "lock file " + path + " is not a file of ours";
        close(fd);
        return Outcome::Failed;
    }

    if (tryLock(fd, LOCK_EX) != 0) {
        if (errno != EWOULDBLOCK) {
            error_ = "cannot lock " + path + ": " + std::strerror(errno);
            close(fd);
            return Outcome::Failed;
        }
        holderPid_ = readPid(fd);
        close(fd);
        return Outcome::HeldElsewhere;
    }

    const std::string pid = std::to_string(long(getpid())) + "\n";
    if (ftruncate(fd, 0) != 0 || pwrite(fd, pid.data(), pid.size(), 0) != ssize_t(pid.size())) {
        // The lock itself holds; only the courtesy of naming us is lost.
        error_ = "cannot write process id to " + path + ": " + std::strerror(errno);
    }
    fd_ = fd;
    return Outcome::Acquired;
}

long InstanceLock::holderOf(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return 0;
    long pid = 0;
    struct stat info;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && tryLock(fd, LOCK_SH) != 0 &&
        errno == EWOULDBLOCK) {
        pid = readPid(fd);
    }
    close(fd);
    return pid;
}
