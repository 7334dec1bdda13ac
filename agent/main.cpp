#include <gst/gst.h>

#include <cstdio>
#include <string>
#include <vector>

#include "agent_options.h"
#include "agent_presence_x11.h"
#include "camera_list.h"
#include "capture_agent.h"
#include "capture_file.h"
#include "capture_session.h"
#include "frame_writer.h"
#include "instance_lock.h"
#include "source_plan.h"

namespace {

enum ExitStatus { exitDone = 0, exitSourceFailed = 1, exitBadOptions = 2, exitAlreadyRunning = 3 };

constexpr const char* lockFileName = "lumigrab.lock";

int listCameras() {
    const std::vector<Camera> cameras = findCameras();
    if (cameras.empty()) {
        std::printf("No cameras found. Without one, %s shows its built-in picture.\n",
                    captureAgentCommand);
        return exitDone;
    }
    std::printf("Cameras, in the order they are tried:\n");
    for (const Camera& camera : cameras) {
        std::printf("  %s\n", camera.label().c_str());
    }
    return exitDone;
}

std::vector<CaptureCandidate> cameraCandidates() {
    std::vector<CaptureCandidate> candidates;
    for (const Camera& camera : findCameras()) {
        candidates.push_back({planForCamera(camera.label()), camera.device});
    }
    return candidates;
}

int reportAlreadyRunning(const AgentOptions& options, long pid) {
    // Visualisers start the agent bare whenever they cannot see one; a
    // race with another start is normal and not worth a word.
    if (options.bare) return exitDone;
    if (pid > 0) {
        std::fprintf(stderr, "%s: another agent is already running (process %ld)\n",
                     captureAgentCommand, pid);
    } else {
        std::fprintf(stderr, "%s: another agent is already running on this display\n",
                     captureAgentCommand);
    }
    return exitAlreadyRunning;
}

int runAgent(const AgentOptions& options) {
    char directory[4096];
    if (!captureDirectory(directory, sizeof directory)) {
        std::fprintf(stderr, "%s: no private directory for the capture file\n",
                     captureAgentCommand);
        return exitSourceFailed;
    }
    const std::string lockPath = std::string(directory) + "/" + lockFileName;

    AgentPresence presence;
    const bool haveDisplay = presence.connect();
    if (haveDisplay && presence.otherAgentShown()) {
        return reportAlreadyRunning(options, InstanceLock::holderOf(lockPath));
    }
    InstanceLock lock;
    switch (lock.acquire(lockPath)) {
        case InstanceLock::Outcome::HeldElsewhere:
            return reportAlreadyRunning(options, lock.holderPid());
        case InstanceLock::Outcome::Failed:
            std::fprintf(stderr, "%s: %s\n", captureAgentCommand, lock.error().c_str());
            return exitSourceFailed;
        case InstanceLock::Outcome::Acquired: break;
    }

    SessionSettings settings;
    settings.fps = options.fps;
    settings.mirror = options.mirror;
    std::vector<CaptureCandidate> candidates;
    if (!options.pipeline.empty()) {
        settings.explicitSource = true;
        candidates.push_back({planForPipeline(options.pipeline), nullptr});
    } else if (!options.source.empty()) {
        settings.explicitSource = true;
        CaptureCandidate candidate;
        std::string reason;
        if (!planForSource(options.source, options.fps, &candidate.plan, &reason)) {
            std::fprintf(stderr, "%s: cannot open source '%s': %s\n", captureAgentCommand,
                         options.source.c_str(), reason.c_str());
            return exitSourceFailed;
        }
        candidates.push_back(candidate);
    } else {
        candidates = cameraCandidates();
        settings.rediscover = cameraCandidates;
        CaptureCandidate pattern;
        std::string unused;
        planForSource(defaultPatternName, options.fps, &pattern.plan, &unused);
        candidates.push_back(pattern);
    }

    presence.announce();
    if (!haveDisplay) {
        // Said once capture works, so a source that fails says only that.
        settings.started = [] {
            std::fprintf(stderr,
                         "%s: no X display, so visualisers cannot see this agent; capturing "
                         "anyway\n",
                         captureAgentCommand);
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
    if (options.action == AgentOptions::Action::Help) {
        std::fputs(agentUsage(captureAgentCommand).c_str(), stdout);
        return exitDone;
    }
    if (options.action == AgentOptions::Action::Version) {
        std::printf("%s %s\n", captureAgentCommand, LUMIGRAB_VERSION);
        return exitDone;
    }

    gst_init(nullptr, nullptr);
    const int status =
        options.action == AgentOptions::Action::List ? listCameras() : runAgent(options);
    gst_deinit();
    return status;
}
