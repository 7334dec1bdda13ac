#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Cameras and video files through Media Foundation's source reader, which
// decodes and converts to 32-bit RGB; the caller crops and scales. Each
// thread that uses these must have COM initialised.

struct MediaCamera {
    std::string name;  // the friendly name, as --list shows it
    std::string link;  // the symbolic link that opens this very device
};

// The cameras Media Foundation can see, in its order.
std::vector<MediaCamera> findMediaCameras();

// One decoded picture, valid until the next call of next() or rewind().
struct MediaPicture {
    const std::uint8_t* firstRow = nullptr;  // the top row
    std::ptrdiff_t stride = 0;               // bytes from a row to the one below
    int width = 0, height = 0;               // 4-byte blue, green, red, unused pixels
    double seconds = 0;                      // its time in the stream
};

class MediaReader {
   public:
    enum class Result { Picture, End, Failed };

    static std::unique_ptr<MediaReader> openCamera(const MediaCamera& camera, std::string* error);
    static std::unique_ptr<MediaReader> openFile(const std::string& path, std::string* error);
    ~MediaReader();
    MediaReader(const MediaReader&) = delete;
    MediaReader& operator=(const MediaReader&) = delete;

    // Waits for the next picture; Failed says why in `error`.
    Result next(MediaPicture* picture, std::string* error);
    // Back to the start of a file; false when the source cannot seek.
    bool rewind();
    // From another thread: makes a next() that waits return Failed soon.
    void interrupt();

   private:
    struct Parts;
    explicit MediaReader(std::unique_ptr<Parts> parts);
    std::unique_ptr<Parts> parts_;
};
