#pragma once

#include <string>

// Keeps a second agent from running beside this one. The lock is an flock on
// a file in the capture directory, so two agents started at the same moment
// cannot both win, and it vanishes with the process however that ends. The
// holder writes its process id into the file for others to report.
class InstanceLock {
   public:
    enum class Outcome { Acquired, HeldElsewhere, Failed };

    InstanceLock() = default;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();

    Outcome acquire(const std::string& path);

    // The process id of whoever holds the lock at `path`, without creating
    // or taking it; 0 when nobody holds it or it names nobody.
    static long holderOf(const std::string& path);

    // After HeldElsewhere: the holder's process id, or 0 when it has not
    // written it yet.
    long holderPid() const { return holderPid_; }
    // After Failed: why.
    const std::string& error() const { return error_; }

   private:
    int fd_ = -1;
    long holderPid_ = 0;
    std::string error_;
};
