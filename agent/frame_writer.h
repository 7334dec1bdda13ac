#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Replaces one file's whole contents at a time. Each call writes a private
// temporary file in the same directory and renames it over the target, so a
// reader opens either the old contents or the new, never a mix. The target
// path itself is never opened, so a symlink planted there is replaced, not
// followed.
//
// Creating and deleting a file for every frame is most of the agent's own
// work, so where the system allows, the writer keeps the file it last
// replaced as a spare and swaps the two names atomically instead. It writes
// into the spare only under a write lease, which the system grants only
// while nobody else has the file open: a reader still busy with an old
// frame makes the writer fall back to a fresh file for that frame.
class AtomicFileWriter {
   public:
    AtomicFileWriter(std::string directory, std::string name);
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
    // Removes the spare.
    ~AtomicFileWriter();

    // False when the contents could not be replaced; the old file stays as it
    // was, no temporary file is left behind, and error() says why.
    bool replace(const std::uint8_t* data, std::size_t size);
    const std::string& error() const { return error_; }

    // Removes temporary files that a writer killed mid-write left behind.
    // Only safe while no other writer uses the directory.
    void removeLeftovers() const;

    std::string path() const { return directory_ + "/" + name_; }

   private:
    enum class Reuse { Done, Unavailable, Failed };
    Reuse replaceWithSpare(const std::uint8_t* data, std::size_t size);
    bool replaceWithNewFile(const std::uint8_t* data, std::size_t size);
    void makeSpare();
    void dropSpare();
    // The file open as `fd`, `size` bytes long, is now at the target.
    void becomeCurrent(int fd, std::size_t size);
    // Whether the target is still the file this writer put there.
    bool targetIsCurrent() const;

    std::string directory_;
    std::string name_;
    std::string temporaryPrefix_;
    std::string error_;
    // Swapping names needs a file system that can exchange two names and
    // grants leases; false once it turned out not to.
    bool reuse_ = true;
    // The file now at the target, when this writer put it there, and which
    // file it is, to tell whether someone replaced it since.
    int current_ = -1;
    unsigned long long currentDevice_ = 0, currentInode_ = 0;
    std::size_t currentSize_ = 0;
    // A spare file, at spareName_, ready to take the next frame.
    int spare_ = -1;
    std::string spareName_;
    std::size_t spareSize_ = 0;
};
