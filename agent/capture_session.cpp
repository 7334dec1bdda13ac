#include "capture_session.h"

#include <glib-unix.h>
#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/video/video.h>
#include <signal.h>

#include <cstdio>

#include "builtin_pictures.h"
#include "frame_pack.h"

namespace {

constexpr const char* firstFrameMessage = "lumigrab-first-frame";
constexpr guint retryMilliseconds = 1000;
constexpr guint explicitOpenSeconds = 10;
constexpr guint openSeconds = 5;
// A very short file would otherwise loop as fast as it can be decoded.
constexpr gint64 shortestLoopMicros = 250 * 1000;
// How often a source that cannot seek back is started afresh instead.
constexpr gint64 restartMicros = 1000 * 1000;

std::string errorText(GstMessage* message) {
    GError* error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    std::string text = error != nullptr ? error->message : "unknown error";
    if (error != nullptr) g_error_free(error);
    return text;
}

}  // namespace

CaptureSession::CaptureSession(SessionSettings settings, AtomicFileWriter& writer,
                               AgentPresence& presence)
    : settings_(std::move(settings)), writer_(writer), presence_(presence) {}

CaptureSession::~CaptureSession() { releaseAll(); }

void CaptureSession::releaseAll() {
    closePipeline();
    if (retryTimer_ != 0) g_source_remove(retryTimer_);
    retryTimer_ = 0;
    for (guint watch : watches_) {
        GSource* source = g_main_context_find_source_by_id(nullptr, watch);
        if (source != nullptr) g_source_destroy(source);
    }
    watches_.clear();
    if (loop_ != nullptr) g_main_loop_unref(loop_);
    loop_ = nullptr;
}

int CaptureSession::run(std::vector<CaptureCandidate> candidates) {
    candidates_ = std::move(candidates);
    current_ = 0;
    loop_ = g_main_loop_new(nullptr, FALSE);

    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        watches_.push_back(g_unix_signal_add(signalNumber, onStopSignal, this));
    }
    if (presence_.connected()) {
        watches_.push_back(g_unix_fd_add(presence_.connectionFd(),
                                         GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR),
                                         onDisplayActivity, this));
        presence_.drainEvents();
    }
    // Opening can end the session at once, which must happen inside the loop.
    watches_.push_back(g_idle_add(
        [](gpointer self) {
            static_cast<CaptureSession*>(self)->openCandidate();
            return gboolean(G_SOURCE_REMOVE);
        },
        this));

    g_main_loop_run(loop_);
    releaseAll();
    return status_;
}

GstElement* CaptureSession::buildPipeline(const CaptureCandidate& candidate, std::string* error) {
    GstElement* pipeline =
        parseDescription(candidate.plan.launch + " ! " + captureTail(settings_.fps), error);
    if (pipeline == nullptr) return nullptr;
    GstBin* bin = GST_BIN(pipeline);
    const bool ready =
        (candidate.plan.kind != SourceKind::Camera ||
         attachCamera(bin, candidate.device.get(), error)) &&
        hookSink(bin, error) &&
        (!candidate.plan.generated || hookPatternSource(bin, candidate.plan.picture, error));
    if (!ready) {
        gst_object_unref(pipeline);
        return nullptr;
    }
    return pipeline;
}

GstElement* CaptureSession::parseDescription(const std::string& description, std::string* error) {
    GError* parseError = nullptr;
    GstElement* pipeline = gst_parse_launch_full(description.c_str(), nullptr,
                                                 GST_PARSE_FLAG_FATAL_ERRORS, &parseError);
    if (parseError != nullptr) {
        *error = parseError->message;
        g_error_free(parseError);
        if (pipeline != nullptr) gst_object_unref(pipeline);
        return nullptr;
    }
    if (!GST_IS_BIN(pipeline)) {
        *error = "not a source description";
        gst_object_unref(pipeline);
        return nullptr;
    }
    return pipeline;
}

bool CaptureSession::attachCamera(GstBin* bin, GstDevice* device, std::string* error) {
    GstElement* input = gst_bin_get_by_name(bin, cameraInputName);
    GstElement* camera = gst_device_create_element(device, nullptr);
    bool linked = false;
    if (input != nullptr && camera != nullptr) {
        gst_bin_add(bin, camera);
        linked = gst_element_link(camera, input);
    } else if (camera != nullptr) {
        gst_object_unref(camera);
    }
    if (input != nullptr) gst_object_unref(input);
    if (!linked) *error = "cannot make a source element for this camera";
    return linked;
}

bool CaptureSession::hookSink(GstBin* bin, std::string* error) {
    GstElement* sink = gst_bin_get_by_name(bin, appSinkName);
    if (sink == nullptr) {
        *error = "no frame sink in the pipeline";
        return false;
    }
    GstAppSinkCallbacks callbacks = {};
    callbacks.new_sample = onNewSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);
    gst_object_unref(sink);
    return true;
}

bool CaptureSession::hookPatternSource(GstBin* bin, BuiltinPicture picture, std::string* error) {
    GstElement* source = gst_bin_get_by_name(bin, patternSourceName);
    if (source == nullptr) {
        *error = "no source for the built-in picture";
        return false;
    }
    GstAppSrcCallbacks callbacks = {};
    callbacks.need_data = [](GstAppSrc* appSrc, guint, gpointer self) {
        static_cast<CaptureSession*>(self)->pushPatternFrame(appSrc);
    };
    patternFrames_ = 0;
    builtinPicture_ = picture;
    gst_app_src_set_callbacks(GST_APP_SRC(source), &callbacks, this, nullptr);
    gst_object_unref(source);
    return true;
}

GstFlowReturn CaptureSession::onNewSample(GstAppSink* appSink, gpointer data) {
    GstSample* sample = gst_app_sink_pull_sample(appSink);
    if (sample == nullptr) return GST_FLOW_EOS;
    auto* self = static_cast<CaptureSession*>(data);
    const bool delivered = self->writeFrame(sample);
    gst_sample_unref(sample);
    // The main loop learns through the bus that this source works.
    if (delivered && !self->sawFrame_.exchange(true)) {
        GstElement* element = GST_ELEMENT(appSink);
        gst_element_post_message(
            element, gst_message_new_application(GST_OBJECT(element),
                                                 gst_structure_new_empty(firstFrameMessage)));
    }
    return GST_FLOW_OK;
}

void CaptureSession::openCandidate() {
    phase_ = Phase::Opening;
    sawFrame_ = false;
    std::string error;
    pipeline_ = buildPipeline(candidates_[current_], &error);
    if (pipeline_ == nullptr) {
        failCandidate(error);
        return;
    }
    GstBus* bus = gst_element_get_bus(pipeline_);
    gst_bus_add_watch(bus, onBusMessage, this);
    if (gst_element_set_state(pipeline_, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        GstMessage* message = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
        std::string reason = message != nullptr ? errorText(message) : "cannot start";
        if (message != nullptr) gst_message_unref(message);
        gst_object_unref(bus);
        failCandidate(reason);
        return;
    }
    gst_object_unref(bus);
    playStarted_ = g_get_monotonic_time();
    const guint seconds = settings_.explicitSource && !everRan_ ? explicitOpenSeconds : openSeconds;
    openTimer_ = g_timeout_add_seconds(seconds, onOpenTimeout, this);
}

void CaptureSession::failCandidate(const std::string& reason) {
    closePipeline();
    const SourcePlan& plan = candidates_[current_].plan;
    if (current_ + 1 < candidates_.size()) {
        if (!everRan_) {
            std::fprintf(stderr, "lumigrab: %s did not open (%s); trying the next source\n",
                         plan.label.c_str(), reason.c_str());
        }
        ++current_;
        openCandidate();
        return;
    }
    if (everRan_) {
        scheduleRetry();
        return;
    }
    std::fprintf(stderr, "lumigrab: cannot open source '%s': %s\n", plan.label.c_str(),
                 reason.c_str());
    stop(1);
}

void CaptureSession::sourceLost(const std::string& reason) {
    std::fprintf(stderr, "lumigrab: lost source '%s': %s; retrying every second\n",
                 active_.plan.label.c_str(), reason.c_str());
    lost_ = true;
    closePipeline();
    scheduleRetry();
}

void CaptureSession::scheduleRetry() {
    phase_ = Phase::Waiting;
    if (retryTimer_ == 0) retryTimer_ = g_timeout_add(retryMilliseconds, onRetry, this);
}

void CaptureSession::closePipeline() {
    if (openTimer_ != 0) g_source_remove(openTimer_);
    if (loopTimer_ != 0) g_source_remove(loopTimer_);
    openTimer_ = loopTimer_ = 0;
    if (pipeline_ == nullptr) return;
    // Stopping joins the streaming thread, so a frame being written finishes
    // (renamed into place or removed) before this returns.
    gst_element_set_state(pipeline_, GST_STATE_NULL);
    GstBus* bus = gst_element_get_bus(pipeline_);
    gst_bus_remove_watch(bus);
    gst_object_unref(bus);
    gst_object_unref(pipeline_);
    pipeline_ = nullptr;
}

void CaptureSession::loopToStart() {
    const gint64 elapsed = g_get_monotonic_time() - playStarted_;
    if (elapsed >= shortestLoopMicros &&
        gst_element_seek_simple(pipeline_, GST_FORMAT_TIME,
                                GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT), 0)) {
        playStarted_ = g_get_monotonic_time();
        return;
    }
    // Some sources cannot seek, a still picture for one: those start afresh,
    // at most once a second.
    const gint64 wait = elapsed < shortestLoopMicros ? shortestLoopMicros : restartMicros;
    if (elapsed < wait) {
        if (loopTimer_ == 0) {
            loopTimer_ = g_timeout_add(guint((wait - elapsed) / 1000) + 1, onLoopDelay, this);
        }
        return;
    }
    startOver({active_});
}

void CaptureSession::startOver(std::vector<CaptureCandidate> candidates) {
    closePipeline();
    candidates_ = std::move(candidates);
    current_ = 0;
    if (candidates_.empty()) {
        scheduleRetry();
    } else {
        openCandidate();
    }
}

void CaptureSession::stop(int status) {
    status_ = status;
    g_main_loop_quit(loop_);
}

bool CaptureSession::writeFrame(GstSample* sample) {
    GstCaps* caps = gst_sample_get_caps(sample);
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstVideoInfo info;
    if (caps == nullptr || buffer == nullptr || !gst_video_info_from_caps(&info, caps)) {
        return false;
    }
    if (GST_VIDEO_INFO_FORMAT(&info) != GST_VIDEO_FORMAT_BGR ||
        GST_VIDEO_INFO_WIDTH(&info) != captureFrameWidth ||
        GST_VIDEO_INFO_HEIGHT(&info) != captureFrameHeight) {
        return false;
    }
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ)) return false;
    packCaptureRows(static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
                    captureFrameWidth, captureFrameHeight,
                    std::size_t(GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0)), settings_.mirror,
                    frame_.data());
    gst_video_frame_unmap(&frame);

    const bool written = writer_.replace(frame_.data(), frame_.size());
    if (!written && !writeFailing_.exchange(true)) {
        std::fprintf(stderr, "lumigrab: %s\n", writer_.error().c_str());
    } else if (written && writeFailing_.exchange(false)) {
        std::fprintf(stderr, "lumigrab: writing frames again\n");
    }

    return true;
}

gboolean CaptureSession::onBusMessage(GstBus*, GstMessage* message, gpointer data) {
    auto* self = static_cast<CaptureSession*>(data);
    switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_ERROR:
            if (self->phase_ == Phase::Opening) {
                self->failCandidate(errorText(message));
            } else if (self->phase_ == Phase::Running) {
                self->sourceLost(errorText(message));
            }
            break;
        case GST_MESSAGE_EOS:
            if (self->phase_ == Phase::Opening) {
                self->failCandidate("it ended before its first picture");
            } else if (self->phase_ == Phase::Running) {
                self->loopToStart();
            }
            break;
        case GST_MESSAGE_APPLICATION:
            if (self->phase_ == Phase::Opening &&
                gst_message_has_name(message, firstFrameMessage)) {
                if (self->openTimer_ != 0) g_source_remove(self->openTimer_);
                self->openTimer_ = 0;
                self->phase_ = Phase::Running;
                if (self->lost_) {
                    std::fprintf(stderr, "lumigrab: source '%s' is back\n",
                                 self->candidates_[self->current_].plan.label.c_str());
                    self->lost_ = false;
                }
                self->active_ = self->candidates_[self->current_];
                if (!self->everRan_ && self->settings_.started) self->settings_.started();
                self->everRan_ = true;
            }
            break;
        default: break;
    }
    return G_SOURCE_CONTINUE;
}

void CaptureSession::pushPatternFrame(GstAppSrc* source) {
    GstVideoInfo info;
    gst_video_info_set_format(&info, GST_VIDEO_FORMAT_BGR, captureFrameWidth, captureFrameHeight);
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&info), nullptr);
    GstVideoFrame frame;
    if (buffer == nullptr || !gst_video_frame_map(&frame, &info, buffer, GST_MAP_WRITE)) {
        if (buffer != nullptr) gst_buffer_unref(buffer);
        return;
    }
    const guint64 start = gst_util_uint64_scale(patternFrames_, GST_SECOND, guint64(settings_.fps));
    const guint64 end =
        gst_util_uint64_scale(patternFrames_ + 1, GST_SECOND, guint64(settings_.fps));
    drawBuiltinPicture(builtinPicture_, patternFrames_, double(start) / GST_SECOND,
                       static_cast<std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
                       std::size_t(GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0)));
    gst_video_frame_unmap(&frame);
    GST_BUFFER_PTS(buffer) = start;
    GST_BUFFER_DURATION(buffer) = end - start;
    ++patternFrames_;
    gst_app_src_push_buffer(source, buffer);
}

gboolean CaptureSession::onOpenTimeout(gpointer data) {
    auto* self = static_cast<CaptureSession*>(data);
    self->openTimer_ = 0;
    self->failCandidate("no picture arrived");
    return G_SOURCE_REMOVE;
}

gboolean CaptureSession::onRetry(gpointer data) {
    auto* self = static_cast<CaptureSession*>(data);
    self->retryTimer_ = 0;
    const bool rediscover =
        self->settings_.rediscover && self->active_.plan.kind == SourceKind::Camera;
    self->startOver(rediscover ? self->settings_.rediscover()
                               : std::vector<CaptureCandidate>{self->active_});
    return G_SOURCE_REMOVE;
}

gboolean CaptureSession::onLoopDelay(gpointer data) {
    auto* self = static_cast<CaptureSession*>(data);
    self->loopTimer_ = 0;
    self->loopToStart();
    return G_SOURCE_REMOVE;
}

gboolean CaptureSession::onStopSignal(gpointer data) {
    static_cast<CaptureSession*>(data)->stop(0);
    return G_SOURCE_CONTINUE;
}

gboolean CaptureSession::onDisplayActivity(gint, GIOCondition condition, gpointer data) {
    auto* self = static_cast<CaptureSession*>(data);
    if ((condition & (G_IO_HUP | G_IO_ERR)) != 0 || !self->presence_.drainEvents()) {
        std::fprintf(stderr, "lumigrab: lost the X display; stopping\n");
        self->stop(1);
        return G_SOURCE_REMOVE;
    }
    return G_SOURCE_CONTINUE;
}
