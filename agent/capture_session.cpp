#include "capture_session.h"

#include <glib-unix.h>
#include <gst/video/video.h>
#include <signal.h>

#include <cstdio>

#include "agent_options.h"
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
constexpr gint64 fallbackMicros = gint64(keepLostPictureSeconds) * 1000 * 1000;
constexpr gint64 idleStopMicros = gint64(idleStopSeconds) * 1000 * 1000;
// Frames of a file closer together than this are taken as badly stamped.
constexpr guint64 closestFileFrameNanos = GST_SECOND / maximumFps;

std::string errorText(GstMessage* message) {
    GError* error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    std::string text = error != nullptr ? error->message : "unknown error";
    if (error != nullptr) g_error_free(error);
    return clauseOf(text);
}

bool hasReservedName(GstElement* element) {
    gchar* name = gst_element_get_name(element);
    const bool reserved = g_str_has_prefix(name, reservedNamePrefix);
    g_free(name);
    return reserved;
}

// The name of the first element of `element` (itself, or inside it when it
// is a bin) that takes a name the agent keeps for itself.
std::string reservedNameIn(GstElement* element) {
    GstElement* found = hasReservedName(element) ? GST_ELEMENT(gst_object_ref(element)) : nullptr;
    if (found == nullptr && GST_IS_BIN(element)) {
        GstIterator* elements = gst_bin_iterate_recurse(GST_BIN(element));
        GValue item = G_VALUE_INIT;
        while (found == nullptr && gst_iterator_next(elements, &item) == GST_ITERATOR_OK) {
            auto* inner = GST_ELEMENT(g_value_get_object(&item));
            if (hasReservedName(inner)) found = GST_ELEMENT(gst_object_ref(inner));
            g_value_reset(&item);
        }
        g_value_unset(&item);
        gst_iterator_free(elements);
    }
    if (found == nullptr) return {};
    gchar* name = gst_element_get_name(found);
    std::string text = name;
    g_free(name);
    gst_object_unref(found);
    return text;
}

GstElement* parseLaunch(const std::string& description, GError** error) {
    return gst_parse_launch_full(description.c_str(), nullptr, GST_PARSE_FLAG_FATAL_ERRORS, error);
}

}  // namespace

CaptureSession::CaptureSession(SessionSettings settings, AtomicFileWriter& writer,
                               AgentPresence& presence)
    : settings_(std::move(settings)),
      writer_(writer),
      presence_(presence),
      filePacer_(GST_SECOND / guint64(settings_.fps), closestFileFrameNanos) {}

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
    if (settings_.following != CameraFollowing::Off) {
        CameraMonitor::instance().setListener(nullptr);
    }
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
    if (settings_.stopRequestedEarly && settings_.stopRequestedEarly()) {
        releaseAll();
        return exitDone;
    }
    if (presence_.connected()) {
        watches_.push_back(g_unix_fd_add(presence_.connectionFd(),
                                         GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR),
                                         onDisplayActivity, this));
        presence_.drainEvents();
    }
    if (settings_.following != CameraFollowing::Off) {
        CameraMonitor::instance().setListener(
            [this](CameraMonitor::Change change, const Camera& camera) {
                cameraChanged(change, camera);
            });
    }
    if (settings_.readers != nullptr) {
        // Looked at once a second rather than on every event: the agent's own
        // temporary files cause an event each frame.
        lastReadAt_ = g_get_monotonic_time();
        watches_.push_back(g_timeout_add_seconds(1, onIdleCheck, this));
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
    GstElement* pipeline = parseDescription(candidate, error);
    if (pipeline == nullptr) return nullptr;
    GstBin* bin = GST_BIN(pipeline);
    const bool ready =
        (candidate.plan.kind != SourceKind::Camera ||
         attachCamera(bin, candidate.camera.device.get(), error)) &&
        hookSink(bin, error) &&
        (!candidate.plan.generated || hookPatternSource(bin, candidate.plan.picture, error));
    if (!ready) {
        gst_object_unref(pipeline);
        return nullptr;
    }
    if (candidate.plan.kind == SourceKind::File) hookFilePacing(bin);
    return pipeline;
}

GstElement* CaptureSession::parseDescription(const CaptureCandidate& candidate,
                                             std::string* error) {
    const SourcePlan& plan = candidate.plan;
    GError* parseError = nullptr;
    if (plan.kind == SourceKind::Pipeline) {
        // Parsed alone first, so that its own faults are told apart from
        // those of joining it to the agent's elements.
        GstElement* alone = parseLaunch(plan.launch, &parseError);
        std::string reserved;
        if (parseError == nullptr && alone != nullptr) reserved = reservedNameIn(alone);
        if (alone != nullptr) gst_object_unref(alone);
        if (parseError != nullptr) {
            *error = clauseOf(parseError->message);
            g_error_free(parseError);
            return nullptr;
        }
        if (!reserved.empty()) {
            *error = "the element name '" + reserved + "' is kept for the agent's own elements";
            return nullptr;
        }
    }

    GstElement* pipeline =
        parseLaunch(plan.launch + " ! " + captureTail(plan, settings_.fps), &parseError);
    if (parseError != nullptr) {
        const bool joinFailed = plan.kind == SourceKind::Pipeline &&
                                parseError->domain == GST_PARSE_ERROR &&
                                parseError->code == GST_PARSE_ERROR_LINK;
        *error = joinFailed ? "the pipeline gives no video" : clauseOf(parseError->message);
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

void CaptureSession::hookFilePacing(GstBin* bin) {
    GstElement* rate = gst_bin_get_by_name(bin, rateElementName);
    if (rate == nullptr) return;
    GstPad* pad = gst_element_get_static_pad(rate, "sink");
    gst_pad_add_probe(pad,
                      GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_FLUSH |
                                      GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                      onFileFrame, this, nullptr);
    gst_object_unref(pad);
    gst_object_unref(rate);
}

GstPadProbeReturn CaptureSession::onFileFrame(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto* self = static_cast<CaptureSession*>(data);
    if ((info->type & GST_PAD_PROBE_TYPE_BUFFER) != 0) {
        GstBuffer* buffer = gst_buffer_make_writable(gst_pad_probe_info_get_buffer(info));
        std::optional<std::uint64_t> stamped;
        if (GST_BUFFER_PTS_IS_VALID(buffer)) stamped = GST_BUFFER_PTS(buffer);
        GST_BUFFER_PTS(buffer) = self->filePacer_.place(stamped);
        GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
        GST_PAD_PROBE_INFO_DATA(info) = buffer;
        return GST_PAD_PROBE_OK;
    }
    GstEvent* event = gst_pad_probe_info_get_event(info);
    if (GST_EVENT_TYPE(event) == GST_EVENT_FLUSH_STOP) {
        self->filePacer_.restart();
    } else if (GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT) {
        // Frames placed later than the file claims to last must not be cut.
        const GstSegment* segment = nullptr;
        gst_event_parse_segment(event, &segment);
        if (segment->format == GST_FORMAT_TIME && segment->stop != GST_CLOCK_TIME_NONE) {
            GstSegment open = *segment;
            open.stop = GST_CLOCK_TIME_NONE;
            GstEvent* replacement = gst_event_new_segment(&open);
            gst_event_set_seqnum(replacement, gst_event_get_seqnum(event));
            gst_event_unref(event);
            GST_PAD_PROBE_INFO_DATA(info) = replacement;
        }
    }
    return GST_PAD_PROBE_OK;
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
    filePacer_.restart();
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
        std::string reason = message != nullptr ? failureReason(message) : "cannot start";
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

std::string CaptureSession::failureReason(GstMessage* message) const {
    // A decoder that found no video stream leaves the agent's first element
    // unlinked, and GStreamer only says its data stream failed.
    GstElement* rate = pipeline_ != nullptr && phase_ == Phase::Opening
                           ? gst_bin_get_by_name(GST_BIN(pipeline_), rateElementName)
                           : nullptr;
    bool noVideo = false;
    if (rate != nullptr) {
        GstPad* pad = gst_element_get_static_pad(rate, "sink");
        noVideo = !gst_pad_is_linked(pad);
        gst_object_unref(pad);
        gst_object_unref(rate);
    }
    if (!noVideo) return errorText(message);
    return candidates_[current_].plan.kind == SourceKind::File ? "the file has no video"
                                                               : "it gives no video";
}

void CaptureSession::failCandidate(const std::string& reason) {
    closePipeline();
    const SourcePlan& plan = candidates_[current_].plan;
    if (current_ + 1 < candidates_.size()) {
        if (!everRan_ || !lost_) {
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
    stop(exitFailed);
}

void CaptureSession::sourceLost(const std::string& reason) {
    if (settings_.following == CameraFollowing::Any && tryingCamera()) {
        cameraGone(reason);
        return;
    }
    std::fprintf(stderr, "lumigrab: lost source '%s': %s; retrying every second\n",
                 active_.plan.label.c_str(), reason.c_str());
    lost_ = true;
    closePipeline();
    scheduleRetry();
}

void CaptureSession::cameraGone(const std::string& reason) {
    std::fprintf(stderr, "lumigrab: lost camera '%s': %s; keeping its last picture\n",
                 active_.plan.label.c_str(), reason.c_str());
    lost_ = true;
    cameraLostAt_ = g_get_monotonic_time();
    closePipeline();
    scheduleRetry();
}

bool CaptureSession::tryingCamera() const {
    return phase_ != Phase::Waiting && current_ < candidates_.size() &&
           candidates_[current_].plan.kind == SourceKind::Camera;
}

void CaptureSession::cameraChanged(CameraMonitor::Change change, const Camera& camera) {
    if (change == CameraMonitor::Change::Removed) {
        if (!tryingCamera() || !candidates_[current_].camera.sameAs(camera)) return;
        if (phase_ == Phase::Opening) {
            failCandidate("it was unplugged");
        } else {
            sourceLost("it was unplugged");
        }
        return;
    }
    if (settings_.following == CameraFollowing::Any) {
        if (!tryingCamera()) startOver(retryCandidates());
    } else if (phase_ == Phase::Waiting && camera.sameAs(active_.camera)) {
        startOver(retryCandidates());
    }
}

std::vector<CaptureCandidate> CaptureSession::retryCandidates() {
    std::vector<CaptureCandidate> candidates;
    switch (settings_.following) {
        case CameraFollowing::Off: candidates.push_back(active_); break;
        case CameraFollowing::Named:
            for (const Camera& camera : CameraMonitor::instance().cameras()) {
                if (camera.sameAs(active_.camera)) {
                    candidates.push_back({active_.plan, camera});
                    break;
                }
            }
            break;
        case CameraFollowing::Any: {
            for (const Camera& camera : CameraMonitor::instance().cameras()) {
                candidates.push_back({planForCamera(camera.label()), camera});
            }
            // A lost camera's last picture stays a while, in case it is back.
            const bool keepLastPicture = active_.plan.kind == SourceKind::Camera &&
                                         g_get_monotonic_time() - cameraLostAt_ < fallbackMicros;
            if (!keepLastPicture) candidates.push_back(settings_.fallback);
            break;
        }
    }
    return candidates;
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
    if (frameCaps_ != nullptr) gst_caps_unref(frameCaps_);
    frameCaps_ = nullptr;
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
    if (caps == nullptr || buffer == nullptr) return false;
    // The caps rarely change; reading them anew for every frame is a good
    // part of the agent's own work.
    if (caps != frameCaps_) {
        if (frameCaps_ != nullptr) gst_caps_unref(frameCaps_);
        frameCaps_ = nullptr;
        if (!gst_video_info_from_caps(&frameInfo_, caps)) return false;
        frameCaps_ = gst_caps_ref(caps);
    }
    if (GST_VIDEO_INFO_FORMAT(&frameInfo_) != GST_VIDEO_FORMAT_BGR ||
        GST_VIDEO_INFO_WIDTH(&frameInfo_) != captureFrameWidth ||
        GST_VIDEO_INFO_HEIGHT(&frameInfo_) != captureFrameHeight) {
        return false;
    }
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &frameInfo_, buffer, GST_MAP_READ)) return false;
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
                self->failCandidate(self->failureReason(message));
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
                self->sourceStarted();
            }
            break;
        default: break;
    }
    return G_SOURCE_CONTINUE;
}

void CaptureSession::sourceStarted() {
    if (openTimer_ != 0) g_source_remove(openTimer_);
    openTimer_ = 0;
    phase_ = Phase::Running;
    const CaptureCandidate& started = candidates_[current_];
    const std::string& label = started.plan.label;
    if (settings_.following == CameraFollowing::Any && everRan_) {
        // Said on each change, so the user can tell what the visualisers show.
        const bool camera = started.plan.kind == SourceKind::Camera;
        if (camera && (lost_ || !active_.camera.sameAs(started.camera))) {
            std::fprintf(stderr, "lumigrab: using camera '%s'\n", label.c_str());
        } else if (!camera && lost_) {
            std::fprintf(stderr, "lumigrab: no camera; showing the built-in picture\n");
        }
    } else if (lost_) {
        std::fprintf(stderr, "lumigrab: source '%s' is back\n", label.c_str());
    }
    lost_ = false;
    active_ = started;
    if (!everRan_ && settings_.started) settings_.started();
    everRan_ = true;
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
    self->startOver(self->retryCandidates());
    return G_SOURCE_REMOVE;
}

gboolean CaptureSession::onLoopDelay(gpointer data) {
    auto* self = static_cast<CaptureSession*>(data);
    self->loopTimer_ = 0;
    self->loopToStart();
    return G_SOURCE_REMOVE;
}

gboolean CaptureSession::onStopSignal(gpointer data) {
    static_cast<CaptureSession*>(data)->stop(exitDone);
    return G_SOURCE_CONTINUE;
}

gboolean CaptureSession::onIdleCheck(gpointer data) {
    auto* self = static_cast<CaptureSession*>(data);
    const gint64 now = g_get_monotonic_time();
    if (self->settings_.readers->drain()) {
        self->lastReadAt_ = now;
    } else if (now - self->lastReadAt_ >= idleStopMicros) {
        std::fprintf(stderr,
                     "lumigrab: no visualiser has read the capture file for %d seconds; "
                     "stopping\n",
                     idleStopSeconds);
        self->stop(exitDone);
        return G_SOURCE_REMOVE;
    }
    return G_SOURCE_CONTINUE;
}

gboolean CaptureSession::onDisplayActivity(gint, GIOCondition condition, gpointer data) {
    auto* self = static_cast<CaptureSession*>(data);
    if ((condition & (G_IO_HUP | G_IO_ERR)) != 0 || !self->presence_.drainEvents()) {
        std::fprintf(stderr, "lumigrab: lost the X display '%s'; stopping\n",
                     self->presence_.displayName().c_str());
        self->stop(exitDisplayLost);
        return G_SOURCE_REMOVE;
    }
    return G_SOURCE_CONTINUE;
}
