#include <gst/gst.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "agent_options.h"
#include "agent_presence_x11.h"
#include "camera_choice.h"
#include "camera_list.h"
#include "capture_agent.h"
#include "capture_file.h"
#include "capture_session.h"
#include "frame_writer.h"
#include "instance_lock.h"
#include "reader_watch.h"
#include "source_plan.h"

namespace {

constexpr const char* lockFileName = "lumigrab.lock";
// How long --stop waits for the running agent to end.
constexpr int stopWaitSeconds = 10;
constexpr long stopPollNanos = 20 * 1000 * 1000;

volatile sig_atomic_t earlyStopSignal = 0;

void noteEarlyStop(int) { earlyStopSignal = 1; }

// Until the capture session watches for them, stop signals are noted here,
// so that one arriving during start-up ends the agent as cleanly as later.
void catchStopSignalsEarly() {
    struct sigaction action = {};
    action.sa_handler = noteEarlyStop;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaction(signalNumber, &action, nullptr);
}

void complain(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", captureAgentCommand, message.c_str());
}

// Why captureDirectory() refused the folder it would use.
std::string folderProblem() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] != '\0') {
        return std::string("the folder named by XDG_RUNTIME_DIR is too long: ") + runtime;
    }
    const std::string folder = "/tmp/lumigrab-" + std::to_string(geteuid());
    struct stat info;
    if (lstat(folder.c_str(), &info) != 0) {
        return "cannot create " + folder + ": " + std::strerror(errno);
    }
    if (!S_ISDIR(info.st_mode)) return folder + " is not a folder";
    if (info.st_uid != geteuid()) return folder + " belongs to another user";
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", unsigned(info.st_mode & 07777));
    return folder + " is open to others (mode " + mode + "; it must be 0700)";
}

bool findCaptureFolder(std::string* folder) {
    char directory[4096];
    if (!captureDirectory(directory, sizeof directory)) {
        complain("no private folder for the capture file: " + folderProblem());
        return false;
    }
    *folder = directory;
    return true;
}

std::vector<CameraEntry> entriesOf(const std::vector<Camera>& cameras) {
    std::vector<CameraEntry> entries;
    for (const Camera& camera : cameras) entries.push_back({camera.name, camera.node});
    return entries;
}

int listCameras() {
    const std::vector<Camera> cameras = CameraMonitor::instance().cameras();
    std::fputs(cameraListing(entriesOf(cameras), captureAgentCommand).c_str(), stdout);
    return finishOutput(exitDone);
}

void pause(long nanos) {
    timespec wait = {0, nanos};
    nanosleep(&wait, nullptr);
}

int stopRunningAgent() {
    std::string folder;
    if (!findCaptureFolder(&folder)) return exitNoFolder;
    const std::string lockPath = folder + "/" + lockFileName;
    const long pid = InstanceLock::holderOf(lockPath);
    if (pid <= 0) {
        std::printf("No agent is running.\n");
        return finishOutput(exitDone);
    }
    if (kill(pid_t(pid), SIGTERM) != 0 && errno != ESRCH) {
        complain("cannot stop the agent (process " + std::to_string(pid) +
                 "): " + std::strerror(errno));
        return exitFailed;
    }
    const long polls = stopWaitSeconds * 1000000000L / stopPollNanos;
    for (long i = 0; i < polls && InstanceLock::holderOf(lockPath) == pid; ++i) {
        pause(stopPollNanos);
    }
    if (InstanceLock::holderOf(lockPath) == pid) {
        complain("the agent (process " + std::to_string(pid) + ") did not stop within " +
                 std::to_string(stopWaitSeconds) + " seconds");
        return exitFailed;
    }
    std::printf("Stopped the agent (process %ld).\n", pid);
    return finishOutput(exitDone);
}

int reportAlreadyRunning(const AgentOptions& options, long pid) {
    // Visualisers start the agent bare whenever they cannot see one; a
    // race with another start is normal and not worth a word.
    if (options.bare) return exitDone;
    if (pid > 0) {
        complain("another agent is already running (process " + std::to_string(pid) + ")");
    } else {
        complain("another agent is already running on this display");
    }
    return exitAlreadyRunning;
}

// Reads --source: a built-in name or a path as planForSource knows them,
// else a camera as --list shows it. False with a reason.
bool resolveSource(const std::string& source, int fps, CaptureCandidate* candidate, bool* camera,
                   std::string* reason) {
    *camera = false;
    const bool builtin = findBuiltinSource(source) != nullptr;
    struct stat info;
    const bool path = source.find('/') != std::string::npos ||
                      (!isCameraNumber(source) && stat(source.c_str(), &info) == 0);
    if (builtin || path) return planForSource(source, fps, &candidate->plan, reason);

    const std::vector<Camera> cameras = CameraMonitor::instance().cameras();
    const CameraPick pick = pickCamera(source, entriesOf(cameras));
    if (!pick.refersToCamera) {
        *reason = "no such file, camera or built-in source";
        return false;
    }
    if (pick.index < 0) {
        *reason = pick.error;
        return false;
    }
    const Camera& chosen = cameras[std::size_t(pick.index)];
    *candidate = {planForCamera(chosen.label()), chosen};
    *camera = true;
    return true;
}

int runAgent(const AgentOptions& options) {
    std::string directory;
    if (!findCaptureFolder(&directory)) return exitNoFolder;
    const std::string lockPath = directory + "/" + lockFileName;

    AgentPresence presence;
    const bool haveDisplay = presence.connect();
    if (haveDisplay && presence.otherAgentShown()) {
        return reportAlreadyRunning(options, InstanceLock::holderOf(lockPath));
    }
    InstanceLock lock;
    switch (lock.acquire(lockPath)) {
        case InstanceLock::Outcome::HeldElsewhere:
            return reportAlreadyRunning(options, lock.holderPid());
        case InstanceLock::Outcome::Failed: complain(lock.error()); return exitNoFolder;
        case InstanceLock::Outcome::Acquired: break;
    }

    SessionSettings settings;
    settings.fps = options.fps;
    settings.mirror = options.mirror;
    settings.stopRequestedEarly = [] { return earlyStopSignal != 0; };
    std::vector<CaptureCandidate> candidates;
    ReaderWatch readers;
    if (!options.pipeline.empty()) {
        settings.explicitSource = true;
        candidates.push_back({planForPipeline(options.pipeline), {}});
    } else if (!options.source.empty()) {
        settings.explicitSource = true;
        CaptureCandidate candidate;
        std::string reason;
        bool camera = false;
        if (!resolveSource(options.source, options.fps, &candidate, &camera, &reason)) {
            complain("cannot open source '" + options.source + "': " + reason);
            return exitFailed;
        }
        if (camera) settings.following = CameraFollowing::Named;
        candidates.push_back(candidate);
    } else {
        settings.following = CameraFollowing::Any;
        for (const Camera& camera : CameraMonitor::instance().cameras()) {
            candidates.push_back({planForCamera(camera.label()), camera});
        }
        std::string unused;
        planForSource(defaultPatternName, options.fps, &settings.fallback.plan, &unused);
        candidates.push_back(settings.fallback);
        if (options.bare) {
            if (readers.start(directory, captureFileName)) {
                settings.readers = &readers;
            } else {
                complain(readers.error() + "; it will not stop by itself");
            }
        }
    }

    presence.announce();
    if (!haveDisplay) {
        // Said once capture works, so a source that fails says only that.
        const std::string display = presence.displayName();
        settings.started = [display] {
            const std::string why = display.empty() ? "no X display (DISPLAY is not set)"
                                                    : "cannot open the X display '" + display + "'";
            complain(why + ", so visualisers cannot see this agent; capturing anyway");
        };
    }

    AtomicFileWriter writer(directory, captureFileName);
    writer.removeLeftovers();
    CaptureSession session(settings, writer, presence);
    return session.run(std::move(candidates));
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const OptionsResult parsed = parseAgentOptions(args);
    if (!parsed.ok) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", captureAgentCommand,
                     parsed.error.c_str(), captureAgentCommand);
        return exitBadOptions;
    }
    const AgentOptions& options = parsed.options;
    switch (options.action) {
        case AgentOptions::Action::Help:
            std::fputs(agentUsage(captureAgentCommand).c_str(), stdout);
            return finishOutput(exitDone);
        case AgentOptions::Action::Version:
            std::printf("%s %s\n", captureAgentCommand, LUMIGRAB_VERSION);
            return finishOutput(exitDone);
        case AgentOptions::Action::Stop: return stopRunningAgent();
        case AgentOptions::Action::List:
        case AgentOptions::Action::Run: break;
    }

    if (options.action == AgentOptions::Action::Run) catchStopSignalsEarly();
    gst_init(nullptr, nullptr);
    const int status =
        options.action == AgentOptions::Action::List ? listCameras() : runAgent(options);
    // A running device monitor is never stopped (see CameraMonitor), so
    // GStreamer stays up with it until the process ends.
    if (!CameraMonitor::running()) gst_deinit();
    return status;
}
