#pragma once

#include <string>

// Notices when anyone opens one file in a folder. The agent only ever writes
// the capture file through temporary files that it renames into place, so
// every open of the capture file's own name is a visualiser reading it.
class ReaderWatch {
   public:
    ReaderWatch() = default;
    ReaderWatch(const ReaderWatch&) = delete;
    ReaderWatch& operator=(const ReaderWatch&) = delete;
    ~ReaderWatch();

    // False with error() set when the folder cannot be watched.
    bool start(const std::string& directory, const std::string& name);
    // Readable when something happened in the folder.
    int fd() const { return fd_; }
    // Reads what happened; true when the file was opened since the last call.
    bool drain();
    const std::string& error() const { return error_; }

   private:
    int fd_ = -1;
    std::string name_;
    std::string error_;
};
