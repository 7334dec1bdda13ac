#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "reader_watch.h"

ReaderWatch::~ReaderWatch() {
    if (fd_ >= 0) close(fd_);
}

bool ReaderWatch::start(const std::string& directory, const std::string& name) {
    name_ = name;
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0 || inotify_add_watch(fd_, directory.c_str(), IN_OPEN | IN_ONLYDIR) < 0) {
        error_ = "cannot watch " + directory + " for readers: " + std::strerror(errno);
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
        return false;
    }
    return true;
}

bool ReaderWatch::drain() {
    bool opened = false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t got = read(fd_, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            // The queue overflowed: some event was lost, perhaps a read.
            if ((event->mask & IN_Q_OVERFLOW) != 0) opened = true;
            if (event->len > 0 && name_ == event->name) opened = true;
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    return opened;
}
