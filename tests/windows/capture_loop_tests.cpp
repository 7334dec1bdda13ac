#include <gtest/gtest.h>

#include <atomic>

#include "builtin_pictures.h"
#include "capture_file.h"
#include "capture_loop_win32.h"
#include "frame_writer.h"
#include "windows_test_support.h"

namespace {

// Long enough for the loop to look for cameras at least twice.
constexpr double switchSeconds = 10;
constexpr int fps = 30;
constexpr const char* cameraName = "Desk Cam";

// A capture loop whose one camera is a pretend one that the test plugs in
// and pulls out: it shows solid red while plugged in and fails once pulled.
class PretendCameraLoop : public CaptureLoop {
   public:
    PretendCameraLoop(LoopSettings settings, AtomicFileWriter& writer, HANDLE stop,
                      const std::atomic<bool>& plugged)
        : CaptureLoop(std::move(settings), writer, stop), plugged_(plugged) {}

   protected:
    class Camera : public Source {
       public:
        explicit Camera(const std::atomic<bool>& plugged) : plugged_(plugged) {}
        Step next(std::uint8_t* bgr, double* due, std::string* error) override {
            if (!plugged_) {
                *error = "it was unplugged";
                return Step::Failed;
            }
            *due = double(index_++) / fps;
            drawBuiltinPicture(BuiltinPicture::Red, 0, 0, bgr,
                               captureFrameWidth * captureBytesPerPixel);
            return Step::Picture;
        }

       private:
        const std::atomic<bool>& plugged_;
        std::uint64_t index_ = 0;
    };

    std::unique_ptr<Source> open(const CaptureCandidate& candidate, std::string* error) override {
        if (candidate.kind != CaptureCandidate::Kind::Camera) {
            return CaptureLoop::open(candidate, error);
        }
        if (!plugged_) {
            *error = "no such camera";
            return nullptr;
        }
        return std::make_unique<Camera>(plugged_);
    }

   private:
    const std::atomic<bool>& plugged_;
};

// The loop of a bare start, run on a thread of its own as in the agent,
// with watch() called once a second.
class BareLoop {
   public:
    explicit BareLoop(bool plugged) : plugged_(plugged) {
        settings_.fps = fps;
        settings_.fallback = builtinCandidate(*findBuiltinSource(defaultPatternName));
        settings_.rediscover = [this] {
            ++listings_;
            return plugged_ ? std::vector<CaptureCandidate>{camera()}
                            : std::vector<CaptureCandidate>{};
        };
        loop_ = std::make_unique<PretendCameraLoop>(settings_, writer_, stop_, plugged_);
        thread_ = CreateThread(nullptr, 0, runLoop, this, 0, nullptr);
    }
    BareLoop(const BareLoop&) = delete;
    BareLoop& operator=(const BareLoop&) = delete;
    ~BareLoop() {
        SetEvent(stop_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        CloseHandle(stop_);
    }

    void plug(bool in) { plugged_ = in; }
    int listings() const { return listings_; }
    bool showsTheCamera() const { return readWholeFile(file()) == red(); }
    bool showsAnotherPicture() const {
        const Bytes frame = readWholeFile(file());
        return frame.size() == captureFrameBytes && frame != red();
    }

    // Calls watch() about once a second until `done` holds or `seconds`
    // pass; false when it never held.
    template <typename Done>
    bool watchUntil(Done done, double seconds) {
        const double deadline = nowSeconds() + seconds;
        double nextWatch = nowSeconds() + 1;
        while (nowSeconds() < deadline) {
            if (done()) return true;
            Sleep(20);
            if (nowSeconds() >= nextWatch) {
                loop_->watch();
                nextWatch += 1;
            }
        }
        return done();
    }

   private:
    static CaptureCandidate camera() {
        CaptureCandidate candidate;
        candidate.kind = CaptureCandidate::Kind::Camera;
        candidate.label = cameraName;
        return candidate;
    }
    static Bytes red() { return solidFrame(0x00, 0x00, 0xFF); }
    std::string file() const { return folder_.file(captureFileName); }

    static DWORD WINAPI runLoop(void* self) {
        auto* bare = static_cast<BareLoop*>(self);
        return DWORD(bare->loop_->run({camera(), *bare->settings_.fallback}));
    }

    TempFolder folder_;
    AtomicFileWriter writer_{folder_.path(), captureFileName};
    HANDLE stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    LoopSettings settings_;
    std::atomic<bool> plugged_;
    std::atomic<int> listings_{0};
    std::unique_ptr<PretendCameraLoop> loop_;
    HANDLE thread_ = nullptr;
};

TEST(CaptureLoop, BareStartTakesACameraPluggedInWhileTheBuiltInPictureShows) {
    BareLoop loop(false);
    ASSERT_TRUE(loop.watchUntil([&] { return loop.showsAnotherPicture(); }, switchSeconds));
    // With no camera there, it keeps looking while the built-in picture shows.
    ASSERT_TRUE(loop.watchUntil([&] { return loop.listings() >= 2; }, switchSeconds));
    EXPECT_TRUE(loop.showsAnotherPicture());

    loop.plug(true);
    ASSERT_TRUE(loop.watchUntil([&] { return loop.showsTheCamera(); }, switchSeconds));

    // Once the camera shows, it stops looking, and the camera stays.
    const int listings = loop.listings();
    loop.watchUntil([] { return false; }, 5);
    EXPECT_EQ(loop.listings(), listings);
    EXPECT_TRUE(loop.showsTheCamera());
}

TEST(CaptureLoop, LostCameraKeepsItsPictureAWhileThenTheBuiltInOneShowsUntilItIsBack) {
    BareLoop loop(true);
    ASSERT_TRUE(loop.watchUntil([&] { return loop.showsTheCamera(); }, switchSeconds));

    loop.plug(false);
    const double pulled = nowSeconds();
    ASSERT_TRUE(loop.watchUntil([&] { return loop.showsAnotherPicture(); }, switchSeconds));
    // Its last picture stays for a few seconds, in case it is back at once.
    EXPECT_GE(nowSeconds() - pulled, 2.0);

    loop.plug(true);
    EXPECT_TRUE(loop.watchUntil([&] { return loop.showsTheCamera(); }, switchSeconds));
}

}  // namespace
