#include <mfapi.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "agent_options.h"
#include "agent_presence_win32.h"
#include "camera_choice.h"
#include "capture_agent.h"
#include "capture_file.h"
#include "capture_loop_win32.h"
#include "frame_writer.h"
#include "windows_error_win32.h"

namespace {

constexpr unsigned long stopWaitMilliseconds = 10000;

int badOptions(const std::string& error) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", captureAgentCommand,
                 error.c_str(), captureAgentCommand);
    return exitBadOptions;
}

int listCameras() {
    std::vector<CameraEntry> entries;
    for (const MediaCamera& camera : findMediaCameras()) entries.push_back({camera.name, ""});
    std::fputs(cameraListing(entries, captureAgentCommand).c_str(), stdout);
    return finishOutput(exitDone);
}

int stopRunningAgent() {
    unsigned long pid = 0;
    switch (AgentPresence::stopOther(&pid, stopWaitMilliseconds)) {
        case AgentPresence::StopOutcome::NoneRunning: std::printf("No agent is running.\n"); break;
        case AgentPresence::StopOutcome::Stopped:
            std::printf("Stopped the agent (process %lu).\n", pid);
            break;
        case AgentPresence::StopOutcome::Refused:
            std::fprintf(stderr, "%s: cannot stop the agent (process %lu): %s\n",
                         captureAgentCommand, pid, windowsErrorText(GetLastError()).c_str());
            return exitFailed;
        case AgentPresence::StopOutcome::TimedOut:
            std::fprintf(stderr, "%s: the agent (process %lu) did not stop within %lu seconds\n",
                         captureAgentCommand, pid, stopWaitMilliseconds / 1000);
            return exitFailed;
    }
    return finishOutput(exitDone);
}

std::vector<CaptureCandidate> cameraCandidates() {
    std::vector<CaptureCandidate> candidates;
    for (const MediaCamera& camera : findMediaCameras()) {
        candidates.push_back(cameraCandidate(camera));
    }
    return candidates;
}

int reportAlreadyRunning(const AgentOptions& options, unsigned long pid) {
    // Visualisers start the agent bare whenever they cannot see one; a
    // race with another start is normal and not worth a word.
    if (options.bare) return exitDone;
    if (pid > 0) {
        std::fprintf(stderr, "%s: another agent is already running (process %lu)\n",
                     captureAgentCommand, pid);
    } else {
        std::fprintf(stderr, "%s: another agent is already running on this desktop\n",
                     captureAgentCommand);
    }
    return exitAlreadyRunning;
}

int runAgent(const AgentOptions& options) {
    unsigned long otherPid = 0;
    if (AgentPresence::otherAgentShown(&otherPid)) return reportAlreadyRunning(options, otherPid);
    AgentPresence presence;
    if (!presence.claim()) {
        AgentPresence::otherAgentShown(&otherPid);
        return reportAlreadyRunning(options, otherPid);
    }

    char directory[MAX_PATH];
    if (!captureDirectory(directory, sizeof directory)) {
        std::fprintf(stderr, "%s: no folder for the capture file\n", captureAgentCommand);
        return exitNoFolder;
    }

    LoopSettings settings;
    settings.fps = options.fps;
    settings.mirror = options.mirror;
    std::vector<CaptureCandidate> candidates;
    if (!options.source.empty()) {
        settings.explicitSource = true;
        CaptureCandidate candidate;
        std::string reason;
        if (!planForSource(options.source, &candidate, &reason)) {
            std::fprintf(stderr, "%s: cannot open source '%s': %s\n", captureAgentCommand,
                         options.source.c_str(), reason.c_str());
            return exitFailed;
        }
        candidates.push_back(candidate);
    } else {
        candidates = cameraCandidates();
        settings.rediscover = cameraCandidates;
        settings.fallback = builtinCandidate(*findBuiltinSource(defaultPatternName));
        candidates.push_back(*settings.fallback);
    }

    unsigned long error = 0;
    if (!presence.announce(&error)) {
        std::fprintf(stderr, "%s: cannot create its window: %s\n", captureAgentCommand,
                     windowsErrorText(error).c_str());
        return exitFailed;
    }

    AtomicFileWriter writer(directory, captureFileName);
    writer.removeLeftovers();
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    CaptureLoop loop(settings, writer, stop);
    const int status =
        presence.serve([&] { return loop.run(candidates); }, stop, [&] { loop.watch(); });
    CloseHandle(stop);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const OptionsResult parsed = parseAgentOptions(args);
    if (!parsed.ok) return badOptions(parsed.error);
    const AgentOptions& options = parsed.options;
    if (options.action == AgentOptions::Action::Help) {
        std::fputs(agentUsage(captureAgentCommand).c_str(), stdout);
        return finishOutput(exitDone);
    }
    if (options.action == AgentOptions::Action::Version) {
        std::printf("%s %s\n", captureAgentCommand, LUMIGRAB_VERSION);
        return finishOutput(exitDone);
    }
    if (!options.pipeline.empty()) {
        return badOptions(
            "option --pipeline takes a GStreamer description, and this agent "
            "reads cameras and files without GStreamer");
    }

    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    MFStartup(MF_VERSION);
    int status = exitDone;
    switch (options.action) {
        case AgentOptions::Action::List: status = listCameras(); break;
        case AgentOptions::Action::Stop: status = stopRunningAgent(); break;
        default: status = runAgent(options); break;
    }
    MFShutdown();
    CoUninitialize();
    return status;
}
