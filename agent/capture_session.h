#pragma once

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "agent_presence_x11.h"
#include "camera_list.h"
#include "capture_file.h"
#include "file_pacer.h"
#include "frame_writer.h"
#include "reader_watch.h"
#include "source_plan.h"

struct CaptureCandidate {
    SourcePlan plan;
    Camera camera;  // for SourceKind::Camera
};

// How the session follows the cameras that come and go.
enum class CameraFollowing {
    // Not at all: the source is retried as it is.
    Off,
    // The camera the user named: looked for again by name when it is lost.
    Named,
    // Any camera (a bare start): takes one that appears while the built-in
    // picture shows, and falls back to the picture when its camera is gone.
    Any,
};

struct SessionSettings {
    int fps = 30;
    bool mirror = false;
    // A source the user named: failing to open it at start ends the agent.
    bool explicitSource = false;
    CameraFollowing following = CameraFollowing::Off;
    // With CameraFollowing::Any: shown when there is no camera.
    CaptureCandidate fallback;
    // Stop once nobody has opened the capture file for idleStopSeconds.
    ReaderWatch* readers = nullptr;
    // Called once, when the first frame has been written.
    std::function<void()> started;
    // True when a stop signal arrived before the session could watch for it.
    std::function<bool()> stopRequestedEarly;
};

// Runs capture pipelines in a GLib main loop until SIGINT, SIGTERM or SIGHUP.
// At start the candidates are tried in order until one delivers a frame. A
// source that fails later keeps its last frame in the file and is retried
// about once a second; a file source loops at its end.
class CaptureSession {
   public:
    CaptureSession(SessionSettings settings, AtomicFileWriter& writer, AgentPresence& presence);
    CaptureSession(const CaptureSession&) = delete;
    CaptureSession& operator=(const CaptureSession&) = delete;
    ~CaptureSession();

    // Returns the process exit status.
    int run(std::vector<CaptureCandidate> candidates);

   private:
    enum class Phase { Opening, Running, Waiting };

    void openCandidate();
    void failCandidate(const std::string& reason);
    void sourceLost(const std::string& reason);
    void cameraGone(const std::string& reason);
    // The first frame of the candidate being opened has arrived.
    void sourceStarted();
    void cameraChanged(CameraMonitor::Change change, const Camera& camera);
    void closePipeline();
    void scheduleRetry();
    void loopToStart();
    // Closes whatever runs and opens the first of `candidates`; with none,
    // waits for the next retry.
    void startOver(std::vector<CaptureCandidate> candidates);
    // What to try on the next retry.
    std::vector<CaptureCandidate> retryCandidates();
    void stop(int status);
    // Stops the pipeline, the timers and the watches and drops the loop.
    void releaseAll();
    bool tryingCamera() const;

    // The candidate's description with the capture tail, parsed, its camera
    // linked in and the agent's callbacks hooked up; null with a reason.
    GstElement* buildPipeline(const CaptureCandidate& candidate, std::string* error);
    GstElement* parseDescription(const CaptureCandidate& candidate, std::string* error);
    static bool attachCamera(GstBin* bin, GstDevice* device, std::string* error);
    bool hookSink(GstBin* bin, std::string* error);
    bool hookPatternSource(GstBin* bin, BuiltinPicture picture, std::string* error);
    void hookFilePacing(GstBin* bin);
    // Says why a source failed, in the user's terms where GStreamer's are
    // about its insides.
    std::string failureReason(GstMessage* message) const;

    static GstFlowReturn onNewSample(GstAppSink* sink, gpointer self);
    static GstPadProbeReturn onFileFrame(GstPad*, GstPadProbeInfo* info, gpointer self);
    static gboolean onBusMessage(GstBus*, GstMessage* message, gpointer self);
    static gboolean onOpenTimeout(gpointer self);
    static gboolean onRetry(gpointer self);
    static gboolean onLoopDelay(gpointer self);
    static gboolean onStopSignal(gpointer self);
    static gboolean onDisplayActivity(gint fd, GIOCondition condition, gpointer self);
    static gboolean onIdleCheck(gpointer self);

    // Draws the next frame of the built-in picture, stamped for its moment.
    void pushPatternFrame(GstAppSrc* source);
    // Packs and writes one frame; false when the sample is not a frame.
    bool writeFrame(GstSample* sample);

    SessionSettings settings_;
    AtomicFileWriter& writer_;
    AgentPresence& presence_;
    GMainLoop* loop_ = nullptr;
    std::vector<guint> watches_;
    int status_ = 0;

    std::vector<CaptureCandidate> candidates_;
    std::size_t current_ = 0;
    CaptureCandidate active_;
    bool everRan_ = false;
    bool lost_ = false;
    // When the running camera was lost, for the fall-back to the picture.
    gint64 cameraLostAt_ = 0;
    Phase phase_ = Phase::Waiting;

    GstElement* pipeline_ = nullptr;
    guint openTimer_ = 0;
    guint retryTimer_ = 0;
    guint loopTimer_ = 0;
    gint64 playStarted_ = 0;
    gint64 lastReadAt_ = 0;

    // Touched by the streaming threads.
    guint64 patternFrames_ = 0;
    BuiltinPicture builtinPicture_ = BuiltinPicture::Pattern;
    FramePacer filePacer_;
    GstCaps* frameCaps_ = nullptr;
    GstVideoInfo frameInfo_;
    std::atomic<bool> sawFrame_{false};
    std::atomic<bool> writeFailing_{false};
    std::array<std::uint8_t, captureFrameBytes> frame_{};
};
