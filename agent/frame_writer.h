#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Replaces one file's whole contents at a time. Each call writes a private
// temporary file in the same directory and renames it over the target, so a
// reader opens either the old contents or the new, never a mix. The target
// path itself is never opened, so a symlink planted there is replaced, not
// followed.
class AtomicFileWriter {
   public:
    AtomicFileWriter(std::string directory, std::string name);

    // False when the contents could not be replaced; the old file stays as it
    // was, no temporary file is left behind, and error() says why.
    bool replace(const std::uint8_t* data, std::size_t size);
    const std::string& error() const { return error_; }

    // Removes temporary files that a writer killed mid-write left behind.
    // Only safe while no other writer uses the directory.
    void removeLeftovers() const;

    std::string path() const { return directory_ + "/" + name_; }

   private:
    std::string directory_;
    std::string name_;
    std::string temporaryPrefix_;
    std::string error_;
};
