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

// The loop of a bare start, run on a thread of its own as in the agent,
// with watch() called once a second. Its "cameras" are built-in pictures
// that the test plugs in; the loop opens them like any other source.
class BareLoop {
   public:
    explicit BareLoop(const char* cameraPicture) {
        settings_.fallback = builtinCandidate(*findBuiltinSource(defaultPatternName));
        CaptureCandidate camera = builtinCandidate(*findBuiltinSource(cameraPicture));
        camera.label = "Desk Cam";
        settings_.rediscover = [this, camera] {
            ++listings_;
            return plugged_ ? std::vector<CaptureCandidate>{camera}
                            : std::vector<CaptureCandidate>{};
        };
        loop_ = std::make_unique<CaptureLoop>(settings_, writer_, stop_);
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

    void plug() { plugged_ = true; }
    int listings() const { return listings_; }
    std::string file() const { return folder_.file(captureFileName); }

    // Calls watch() once a second until `done` holds or `seconds` pass.
    template <typename Done>
    bool watchUntil(Done done, double seconds) {
        const double deadline = nowSeconds() + seconds;
        while (nowSeconds() < deadline) {
            if (done()) return true;
            Sleep(1000);
            loop_->watch();
        }
        return done();
    }

   private:
    static DWORD WINAPI runLoop(void* self) {
        auto* loop = static_cast<BareLoop*>(self);
        return DWORD(loop->loop_->run({*loop->settings_.fallback}));
    }

    TempFolder folder_;
    AtomicFileWriter writer_{folder_.path(), captureFileName};
    HANDLE stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    LoopSettings settings_;
    std::atomic<bool> plugged_{false};
    std::atomic<int> listings_{0};
    std::unique_ptr<CaptureLoop> loop_;
    HANDLE thread_ = nullptr;
};

TEST(CaptureLoop, BareStartTakesACameraPluggedInWhileTheBuiltInPictureShows) {
    BareLoop loop("red");
    const Bytes red = solidFrame(0x00, 0x00, 0xFF);
    const auto shows = [&](const auto& wanted) {
        return [&, wanted] {
            const Bytes frame = readWholeFile(loop.file());
            return frame.size() == captureFrameBytes && wanted(frame);
        };
    };
    ASSERT_TRUE(loop.watchUntil(shows([&](const Bytes& f) { return f != red; }), switchSeconds));
    // With no camera there, it keeps looking while the built-in picture shows.
    ASSERT_TRUE(loop.watchUntil([&] { return loop.listings() >= 2; }, switchSeconds));
    EXPECT_NE(readWholeFile(loop.file()), red);

    loop.plug();
    ASSERT_TRUE(loop.watchUntil(shows([&](const Bytes& f) { return f == red; }), switchSeconds));

    // Once a camera shows, it stops looking, and the camera stays.
    const int listings = loop.listings();
    loop.watchUntil([] { return false; }, 5);
    EXPECT_EQ(loop.listings(), listings);
    EXPECT_EQ(readWholeFile(loop.file()), red);
}

}  // namespace
