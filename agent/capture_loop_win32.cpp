#include "capture_loop_win32.h"

#include <algorithm>
#include <cstdio>

#include "agent_options.h"
#include "camera_choice.h"
#include "capture_agent.h"
#include "frame_pack.h"
#include "frame_scale.h"

namespace {

constexpr double retrySeconds = 1;
// How often a bare start that shows its fallback looks for cameras; listing
// them takes Media Foundation a moment, so not every second.
constexpr double cameraLookSeconds = 2;
constexpr double explicitOpenSeconds = 10;
constexpr double openSeconds = 5;
// A very short file would otherwise loop as fast as it can be decoded.
constexpr double shortestLoopSeconds = 0.25;
constexpr int frameRowBytes = captureFrameWidth * captureBytesPerPixel;

}  // namespace

CaptureCandidate cameraCandidate(const MediaCamera& camera) {
    CaptureCandidate candidate;
    candidate.kind = CaptureCandidate::Kind::Camera;
    candidate.label = camera.name;
    candidate.camera = camera;
    return candidate;
}

CaptureCandidate builtinCandidate(const BuiltinSource& builtin) {
    CaptureCandidate candidate;
    candidate.kind = CaptureCandidate::Kind::Builtin;
    candidate.label = builtin.name;
    candidate.picture = builtin.picture;
    return candidate;
}

bool planForSource(const std::string& source, CaptureCandidate* candidate, std::string* error) {
    if (const BuiltinSource* builtin = findBuiltinSource(source)) {
        *candidate = builtinCandidate(*builtin);
        return true;
    }
    const std::vector<MediaCamera> cameras = findMediaCameras();
    std::vector<CameraEntry> entries;
    for (const MediaCamera& camera : cameras) entries.push_back({camera.name, camera.link});
    const CameraPick pick = pickCamera(source, entries);
    if (pick.index >= 0) {
        *candidate = cameraCandidate(cameras[std::size_t(pick.index)]);
        candidate->label = source;
        return true;
    }
    if (pick.refersToCamera) {
        *error = pick.error;
        return false;
    }
    const DWORD attributes = GetFileAttributesA(source.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        *error = "no such file, camera or built-in source";
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        *error = "is a directory";
        return false;
    }
    candidate->kind = CaptureCandidate::Kind::File;
    candidate->label = source;
    candidate->path = source;
    return true;
}

class CaptureLoop::BuiltinSourceReader : public Source {
   public:
    BuiltinSourceReader(BuiltinPicture picture, int fps) : picture_(picture), fps_(fps) {}
    Step next(std::uint8_t* bgr, double* due, std::string*) override {
        *due = double(index_) / fps_;
        drawBuiltinPicture(picture_, index_, *due, bgr, frameRowBytes);
        ++index_;
        return Step::Picture;
    }

   private:
    BuiltinPicture picture_;
    int fps_;
    std::uint64_t index_ = 0;
};

class CaptureLoop::MediaSourceReader : public Source {
   public:
    MediaSourceReader(std::unique_ptr<MediaReader> reader, bool paced)
        : reader_(std::move(reader)), paced_(paced) {}
    Step next(std::uint8_t* bgr, double* due, std::string* error) override {
        MediaPicture picture;
        switch (reader_->next(&picture, error)) {
            case MediaReader::Result::End: return Step::End;
            case MediaReader::Result::Failed: return Step::Failed;
            case MediaReader::Result::Picture: break;
        }
        const PixelRect crop = centredFourThirds(picture.width, picture.height);
        if (crop.width <= 0 || crop.height <= 0) {
            *error = "an empty picture";
            return Step::Failed;
        }
        scaleToCaptureFrame(picture.firstRow, picture.stride, 4, crop, bgr);
        if (!paced_) {
            *due = -1;
        } else {
            if (firstSeconds_ < 0) firstSeconds_ = picture.seconds;
            *due = std::max(0.0, picture.seconds - firstSeconds_);
        }
        return Step::Picture;
    }
    bool rewind() override {
        firstSeconds_ = -1;
        return reader_->rewind();
    }
    void interrupt() override { reader_->interrupt(); }

   private:
    std::unique_ptr<MediaReader> reader_;
    bool paced_;
    double firstSeconds_ = -1;
};

CaptureLoop::CaptureLoop(LoopSettings settings, AtomicFileWriter& writer, HANDLE stop)
    : settings_(std::move(settings)), writer_(writer), stop_(stop) {
    InitializeCriticalSection(&guard_);
    QueryPerformanceFrequency(&clockFrequency_);
    QueryPerformanceCounter(&clockStart_);
}

CaptureLoop::~CaptureLoop() { DeleteCriticalSection(&guard_); }

double CaptureLoop::now() const {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return double(counter.QuadPart - clockStart_.QuadPart) / double(clockFrequency_.QuadPart);
}

bool CaptureLoop::waitOrStop(double seconds) {
    const DWORD milliseconds = seconds > 0 ? DWORD(seconds * 1000 + 0.5) : 0;
    return WaitForSingleObject(stop_, milliseconds) == WAIT_OBJECT_0;
}

std::unique_ptr<CaptureLoop::Source> CaptureLoop::open(const CaptureCandidate& candidate,
                                                       std::string* error) {
    switch (candidate.kind) {
        case CaptureCandidate::Kind::Builtin:
            return std::make_unique<BuiltinSourceReader>(candidate.picture, settings_.fps);
        case CaptureCandidate::Kind::Camera: {
            std::unique_ptr<MediaReader> reader = MediaReader::openCamera(candidate.camera, error);
            if (!reader) return nullptr;
            return std::make_unique<MediaSourceReader>(std::move(reader), false);
        }
        case CaptureCandidate::Kind::File: {
            std::unique_ptr<MediaReader> reader = MediaReader::openFile(candidate.path, error);
            if (!reader) return nullptr;
            return std::make_unique<MediaSourceReader>(std::move(reader), true);
        }
    }
    return nullptr;
}

bool CaptureLoop::deliver(const std::uint8_t* bgrTopFirst) {
    // At most --fps frames a second, whatever the source delivers.
    const double period = 1.0 / settings_.fps;
    const double t = now();
    if (t + period / 4 < nextWriteDue_) return false;
    nextWriteDue_ = t - nextWriteDue_ < period ? nextWriteDue_ + period : t + period;

    packCaptureRows(bgrTopFirst, captureFrameWidth, captureFrameHeight, frameRowBytes,
                    settings_.mirror, frame_.data());
    const bool written = writer_.replace(frame_.data(), frame_.size());
    if (!written && !writeFailing_) {
        std::fprintf(stderr, "%s: %s\n", captureAgentCommand, writer_.error().c_str());
    } else if (written && writeFailing_) {
        std::fprintf(stderr, "%s: writing frames again\n", captureAgentCommand);
    }
    writeFailing_ = !written;
    return written;
}

CaptureLoop::Outcome CaptureLoop::play(Source& source, std::string* reason) {
    std::array<std::uint8_t, captureFrameBytes> picture{};
    double started = now();
    bool shown = false;
    for (;;) {
        if (WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0) return Outcome::Stopped;
        double due = -1;
        const Source::Step step = source.next(picture.data(), &due, reason);
        EnterCriticalSection(&guard_);
        lastProgress_ = now();
        const bool gaveUp = patience_ < 0;
        const bool camerasAppeared = !appeared_.empty();
        LeaveCriticalSection(&guard_);
        if (gaveUp) {
            *reason = "no picture arrived";
            return Outcome::NeverOpened;
        }
        if (camerasAppeared) return Outcome::CamerasAppeared;
        switch (step) {
            case Source::Step::Failed: return shown ? Outcome::Lost : Outcome::NeverOpened;
            case Source::Step::End:
                if (!shown) {
                    *reason = "it ended before its first picture";
                    return Outcome::NeverOpened;
                }
                if (waitOrStop(started + shortestLoopSeconds - now())) return Outcome::Stopped;
                if (!source.rewind()) {
                    *reason = "it cannot play again from the start";
                    return Outcome::Lost;
                }
                started = now();
                continue;
            case Source::Step::Picture: break;
        }
        if (due >= 0 && waitOrStop(started + due - now())) return Outcome::Stopped;
        if (!shown) {
            shown = true;
            EnterCriticalSection(&guard_);
            patience_ = 0;
            LeaveCriticalSection(&guard_);
        }
        deliver(picture.data());
    }
}

int CaptureLoop::run(std::vector<CaptureCandidate> candidates) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::size_t current = 0;
    bool everRan = false, lost = false;
    double cameraLostAt = 0;
    CaptureCandidate active;
    int status = 0;

    while (!candidates.empty()) {
        const CaptureCandidate candidate = candidates[current];
        const bool isCamera = candidate.kind == CaptureCandidate::Kind::Camera;
        const bool isFallback = followsCameras() && candidate.kind == settings_.fallback->kind &&
                                candidate.label == settings_.fallback->label;
        std::string reason;
        Outcome outcome = Outcome::NeverOpened;
        std::unique_ptr<Source> source = open(candidate, &reason);
        if (source) {
            EnterCriticalSection(&guard_);
            current_ = source.get();
            lastProgress_ = now();
            patience_ = settings_.explicitSource && !everRan ? explicitOpenSeconds : openSeconds;
            showingFallback_ = isFallback;
            LeaveCriticalSection(&guard_);
            outcome = play(*source, &reason);
            EnterCriticalSection(&guard_);
            current_ = nullptr;
            showingFallback_ = false;
            if (outcome != Outcome::CamerasAppeared) appeared_.clear();
            const bool opened = patience_ == 0;
            LeaveCriticalSection(&guard_);
            if (opened) {
                if (followsCameras() && everRan) {
                    // Said on each change, so the user can tell what the
                    // visualisers show.
                    if (isCamera && (lost || candidate.label != active.label)) {
                        std::fprintf(stderr, "%s: using camera '%s'\n", captureAgentCommand,
                                     candidate.label.c_str());
                    } else if (!isCamera && lost) {
                        std::fprintf(stderr, "%s: no camera; showing the built-in picture\n",
                                     captureAgentCommand);
                    }
                } else if (lost) {
                    std::fprintf(stderr, "%s: source '%s' is back\n", captureAgentCommand,
                                 candidate.label.c_str());
                }
                lost = false;
                active = candidate;
                everRan = true;
            }
        }
        source.reset();

        if (outcome == Outcome::Stopped) break;
        if (outcome == Outcome::CamerasAppeared) {
            EnterCriticalSection(&guard_);
            candidates = std::move(appeared_);
            appeared_.clear();
            LeaveCriticalSection(&guard_);
            candidates.push_back(*settings_.fallback);
            current = 0;
            continue;
        }
        const bool followLostCamera =
            followsCameras() && active.kind == CaptureCandidate::Kind::Camera;
        if (outcome == Outcome::Lost) {
            if (followLostCamera) {
                std::fprintf(stderr, "%s: lost camera '%s': %s; keeping its last picture\n",
                             captureAgentCommand, active.label.c_str(), reason.c_str());
                cameraLostAt = now();
            } else {
                std::fprintf(stderr, "%s: lost source '%s': %s; retrying every second\n",
                             captureAgentCommand, active.label.c_str(), reason.c_str());
            }
            lost = true;
        } else if (current + 1 < candidates.size()) {
            if (!everRan) {
                std::fprintf(stderr, "%s: %s did not open (%s); trying the next source\n",
                             captureAgentCommand, candidate.label.c_str(), reason.c_str());
            }
            ++current;
            continue;
        } else if (!everRan) {
            std::fprintf(stderr, "%s: cannot open source '%s': %s\n", captureAgentCommand,
                         candidate.label.c_str(), reason.c_str());
            status = 1;
            break;
        }
        // Lost, or gone for good so far: look again about once a second.
        do {
            if (waitOrStop(retrySeconds)) {
                CoUninitialize();
                return 0;
            }
            if (followLostCamera) {
                candidates = settings_.rediscover();
                if (now() - cameraLostAt >= keepLostPictureSeconds) {
                    candidates.push_back(*settings_.fallback);
                }
            } else {
                candidates = {active};
            }
        } while (candidates.empty());
        current = 0;
    }
    CoUninitialize();
    return status;
}

void CaptureLoop::watch() {
    EnterCriticalSection(&guard_);
    if (current_ != nullptr && patience_ > 0 && now() - lastProgress_ > patience_) {
        patience_ = -1;
        current_->interrupt();
    }
    const bool look =
        showingFallback_ && appeared_.empty() && now() - lastCameraLook_ >= cameraLookSeconds;
    LeaveCriticalSection(&guard_);
    if (!look) return;
    // Listed without the lock, so the pictures keep coming meanwhile.
    lastCameraLook_ = now();
    std::vector<CaptureCandidate> cameras = settings_.rediscover();
    if (cameras.empty()) return;
    EnterCriticalSection(&guard_);
    if (showingFallback_) appeared_ = std::move(cameras);
    LeaveCriticalSection(&guard_);
}
