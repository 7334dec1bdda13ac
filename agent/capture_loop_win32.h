#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "builtin_pictures.h"
#include "capture_file.h"
#include "frame_writer.h"
#include "media_capture_win32.h"

// Where frames can come from on Windows.
struct CaptureCandidate {
    enum class Kind { Builtin, Camera, File };
    Kind kind = Kind::Builtin;
    std::string label;
    BuiltinPicture picture = BuiltinPicture::Pattern;
    MediaCamera camera;
    std::string path;
};

// Resolves the text given to --source: a built-in name, a camera's name (as
// --list shows it) or symbolic link, or a video file. False with a reason
// when it names none of them.
bool planForSource(const std::string& source, CaptureCandidate* candidate, std::string* error);
CaptureCandidate cameraCandidate(const MediaCamera& camera);
CaptureCandidate builtinCandidate(const BuiltinSource& builtin);

struct LoopSettings {
    int fps = 30;
    bool mirror = false;
    // A source the user named: failing to open it at start ends the agent.
    bool explicitSource = false;
    // A bare start follows the cameras: `rediscover` lists them, and
    // `fallback` shows while there is none. A camera that appears replaces
    // the fallback; a lost camera's last picture stays a few seconds before
    // the fallback comes back. Without them a lost source is retried as it
    // was.
    std::function<std::vector<CaptureCandidate>()> rediscover;
    std::optional<CaptureCandidate> fallback;
};

// Writes frames until `stop` is set. At start the candidates are tried in
// order until one delivers a picture. A source that fails later keeps its
// last frame in the file and is retried about once a second; a video file
// plays again from the start at its end. Runs on a thread of its own; the
// messages are those of the agent on every system.
class CaptureLoop {
   public:
    CaptureLoop(LoopSettings settings, AtomicFileWriter& writer, HANDLE stop);
    CaptureLoop(const CaptureLoop&) = delete;
    CaptureLoop& operator=(const CaptureLoop&) = delete;
    virtual ~CaptureLoop();

    // Returns the process exit status.
    int run(std::vector<CaptureCandidate> candidates);

    // From another thread, about once a second: gives up on a source that
    // has shown no picture for too long, so the loop can move on; and while
    // a bare start shows its fallback, looks for cameras every few seconds.
    // That thread needs COM, as `rediscover` may use it.
    void watch();

   protected:
    // One source of pictures, delivered as the capture frame's BGR pixels,
    // top row first.
    class Source {
       public:
        enum class Step { Picture, End, Failed };
        virtual ~Source() = default;
        // `due`: when to show it, in seconds from the start of the source or
        // its last rewind; negative for at once.
        virtual Step next(std::uint8_t* bgr, double* due, std::string* error) = 0;
        virtual bool rewind() { return false; }
        // From another thread: makes a waiting next() return soon.
        virtual void interrupt() {}
    };

    // Opens the candidate's source; null with a reason when it cannot.
    // Tests put their own cameras here.
    virtual std::unique_ptr<Source> open(const CaptureCandidate& candidate, std::string* error);

   private:
    class BuiltinSourceReader;
    class MediaSourceReader;

    enum class Outcome { Stopped, Lost, NeverOpened, CamerasAppeared };

    // Runs one source until it fails or the agent stops.
    Outcome play(Source& source, std::string* reason);
    bool deliver(const std::uint8_t* bgrTopFirst);
    bool waitOrStop(double seconds);
    bool followsCameras() const { return settings_.rediscover && settings_.fallback.has_value(); }
    double now() const;

    LoopSettings settings_;
    AtomicFileWriter& writer_;
    HANDLE stop_;
    LARGE_INTEGER clockFrequency_{};
    LARGE_INTEGER clockStart_{};
    bool writeFailing_ = false;
    double nextWriteDue_ = 0;

    CRITICAL_SECTION guard_;
    Source* current_ = nullptr;               // guarded: watch() may interrupt it
    double lastProgress_ = 0;                 // guarded
    double patience_ = 0;                     // guarded
    bool showingFallback_ = false;            // guarded
    std::vector<CaptureCandidate> appeared_;  // guarded: cameras found meanwhile
    double lastCameraLook_ = 0;               // watch()'s own
    std::array<std::uint8_t, captureFrameBytes> frame_{};
};
