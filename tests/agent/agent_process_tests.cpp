#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "agent_options.h"
#include "agent_test_support.h"
#include "capture_file.h"

namespace {

using ::testing::AnyOf;
using ::testing::HasSubstr;
using ::testing::Not;
using Bytes = std::vector<std::uint8_t>;
using Bgr = std::array<std::uint8_t, 3>;

constexpr double startSeconds = 20;

Bgr pixelAt(const Bytes& frame, int x, int fileRow) {
    const std::size_t at = (std::size_t(fileRow) * captureFrameWidth + std::size_t(x)) * 3;
    return {frame[at], frame[at + 1], frame[at + 2]};
}

Bytes solidFrame(Bgr colour) {
    Bytes frame(captureFrameBytes);
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = colour[i % 3];
    return frame;
}

class AgentProcessTest : public ::testing::Test {
   protected:
    TempDir runtime;
    std::string capturePath() const { return capturePathIn(runtime.path()); }

    Bytes frameFrom(const std::vector<std::string>& args) {
        Agent agent(args, runtime.path());
        EXPECT_TRUE(waitForFrame(runtime.path(), startSeconds)) << agent.errorOutput();
        Bytes frame = readWholeFile(capturePath());
        EXPECT_TRUE(agent.stop(SIGTERM));
        EXPECT_EQ(agent.exitStatus(), 0) << agent.errorOutput();
        return frame;
    }
};

TEST_F(AgentProcessTest, SolidBuiltinsGiveExactBgrBytes) {
    const std::vector<std::pair<std::string, Bgr>> cases = {
        {"red", {0x00, 0x00, 0xFF}},   {"green", {0x00, 0xFF, 0x00}}, {"blue", {0xFF, 0x00, 0x00}},
        {"white", {0xFF, 0xFF, 0xFF}}, {"black", {0x00, 0x00, 0x00}},
    };
    for (const auto& [name, colour] : cases) {
        SCOPED_TRACE(name);
        unlink(capturePath().c_str());
        EXPECT_EQ(frameFrom({"--source", name}), solidFrame(colour));
    }
}

// A blue picture with an 8-pixel red band added on one edge by the pipeline.
struct BandCase {
    const char* edge;
    bool mirror;
    bool inBand(int x, int fileRow) const;
};

bool BandCase::inBand(int x, int fileRow) const {
    const std::string side = edge;
    if (side == "bottom") return fileRow < 8;
    if (side == "top") return fileRow >= captureFrameHeight - 8;
    return mirror ? x >= captureFrameWidth - 8 : x < 8;
}

TEST_F(AgentProcessTest, PictureEdgesLandWhereTheVisualisersExpectThem) {
    const Bgr red = {0x00, 0x00, 0xFF}, blue = {0xFF, 0x00, 0x00};
    const std::vector<BandCase> cases = {
        {"bottom", false}, {"top", false}, {"left", false}, {"left", true}};
    for (const BandCase& band : cases) {
        SCOPED_TRACE(std::string(band.edge) + (band.mirror ? " mirrored" : ""));
        const bool vertical = std::string(band.edge) == "left";
        const std::string size = vertical ? "width=152,height=120" : "width=160,height=112";
        std::vector<std::string> args = {
            "--pipeline", "videotestsrc is-live=true pattern=blue ! video/x-raw,format=BGRx," +
                              size + ",framerate=30/1 ! videobox fill=red " + band.edge + "=-8"};
        if (band.mirror) args.push_back("--mirror");
        unlink(capturePath().c_str());
        const Bytes frame = frameFrom(args);
        ASSERT_EQ(frame.size(), captureFrameBytes);
        int wrong = 0;
        for (int row = 0; row < captureFrameHeight; ++row) {
            for (int x = 0; x < captureFrameWidth; ++x) {
                wrong += pixelAt(frame, x, row) != (band.inBand(x, row) ? red : blue);
            }
        }
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(AgentProcessTest, VideoFileIsReadAndPlaysAgainAfterItsEnd) {
    // Six frames alternating black and white, 0.6 s in all, in a folder whose
    // name needs quoting in a pipeline description.
    ASSERT_STRNE(GST_LAUNCH_PATH, "") << "gst-launch-1.0 is missing (package gstreamer1.0-tools)";
    TempDir media;
    const std::string folder = media.file("my \"clips\" \\ here");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    const std::string clip = folder + "/blink.avi";
    const std::string command = std::string(GST_LAUNCH_PATH) +
                                " -q videotestsrc pattern=blink num-buffers=6 ! "
                                "video/x-raw,width=160,height=120,framerate=10/1 ! jpegenc ! "
                                "avimux ! filesink location='" +
                                media.file("blink.avi") + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    ASSERT_EQ(rename(media.file("blink.avi").c_str(), clip.c_str()), 0);

    Agent agent({"--source", clip}, runtime.path());
    ASSERT_TRUE(waitForFrame(runtime.path(), startSeconds)) << agent.errorOutput();
    const auto shade = [&] {
        const Bytes frame = readWholeFile(capturePath());
        if (frame.size() != captureFrameBytes) return -1;
        const Bgr centre = pixelAt(frame, 80, 60);
        if (centre[0] > 200 && centre[1] > 200 && centre[2] > 200) return 1;
        if (centre[0] < 50 && centre[1] < 50 && centre[2] < 50) return 0;
        return -1;
    };
    EXPECT_NE(shade(), -1);

    // Well past the clip's end the picture must still be changing.
    sleepSeconds(1.5);
    const int late = shade();
    EXPECT_TRUE(eventually(10, [&] {
        const int now = shade();
        return now != -1 && now != late;
    })) << agent.errorOutput();
    EXPECT_TRUE(agent.stop(SIGTERM));
    EXPECT_EQ(agent.exitStatus(), 0);
}

TEST_F(AgentProcessTest, ReaderNeverSeesAFrameMixedFromTwo) {
    Agent agent({"--source", "blink", "--fps", "60"}, runtime.path());
    ASSERT_TRUE(waitForFrame(runtime.path(), startSeconds)) << agent.errorOutput();
    ASSERT_EQ(setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1), 0);

    // Reads as the visualisers do, for thousands of reads and until both
    // colours have shown up.
    const Bytes blackFrame = solidFrame({0, 0, 0}), whiteFrame = solidFrame({0xFF, 0xFF, 0xFF});
    Bytes frame(captureFrameBytes);
    int reads = 0, black = 0, white = 0, torn = 0;
    const double deadline = monotonicSeconds() + startSeconds;
    while ((reads < 3000 || black == 0 || white == 0) && monotonicSeconds() < deadline) {
        ++reads;
        ASSERT_EQ(readCaptureFile(frame.data(), frame.size()), long(captureFrameBytes));
        if (frame == blackFrame) {
            ++black;
        } else if (frame == whiteFrame) {
            ++white;
        } else {
            ++torn;
        }
    }
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(torn, 0);
    EXPECT_GT(black, 0);
    EXPECT_GT(white, 0);
    EXPECT_TRUE(agent.stop(SIGTERM));
}

TEST_F(AgentProcessTest, StopSignalsLeaveOneWholeFrameAndNoTemporaryFile) {
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(signalNumber));
        unlink(capturePath().c_str());
        Agent agent({"--source", "blink", "--fps", "120"}, runtime.path());
        ASSERT_TRUE(waitForFrame(runtime.path(), startSeconds)) << agent.errorOutput();
        sleepSeconds(0.3);
        ASSERT_TRUE(agent.stop(signalNumber));
        EXPECT_EQ(agent.exitStatus(), 0) << agent.errorOutput();

        const Bytes frame = readWholeFile(capturePath());
        ASSERT_EQ(frame.size(), captureFrameBytes);
        const bool black = frame == solidFrame({0, 0, 0});
        EXPECT_TRUE(black || frame == solidFrame({0xFF, 0xFF, 0xFF}));
        std::vector<std::string> names = runtime.entries();
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"lumigrab.lock", captureFileName}));
    }
}

TEST_F(AgentProcessTest, SourceThatCannotOpenFailsInOneLineAndLeavesTheFileAlone) {
    ASSERT_STRNE(GST_LAUNCH_PATH, "") << "gst-launch-1.0 is missing (package gstreamer1.0-tools)";
    TempDir media;
    writeWholeFile(media.file("notes.txt"), Bytes{'n', 'o', 't', ' ', 'v', 'i', 'd', 'e', 'o'});
    const std::string sound = media.file("sound.ogg");
    ASSERT_EQ(std::system((std::string(GST_LAUNCH_PATH) +
                           " -q audiotestsrc num-buffers=20 ! vorbisenc ! oggmux ! filesink "
                           "location='" +
                           sound + "' >/dev/null 2>&1")
                              .c_str()),
              0);
    // The reasons speak of what the user gave, not of the agent's insides.
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--source", media.file("missing.avi")}, "no such file"},
        {{"--source", "/dev/video-lumigrab-none"}, "no such file"},
        {{"--source", media.file("notes.txt")}, ""},
        {{"--source", sound}, "the file has no video"},
        {{"--pipeline", "nosuchsourceelement"}, "no element \"nosuchsourceelement\""},
        {{"--pipeline", "videotestsrc ! fakesink"}, "the pipeline gives no video"},
        {{"--pipeline", "audiotestsrc"}, "the pipeline gives no video"},
        {{"--pipeline", "videotestsrc name=lumigrab_sink"},
         "the element name 'lumigrab_sink' is kept"},
        {{"--pipeline", "videotestsrc num-buffers=1 ! identity error-after=1"},
         "Failed after iterations as requested"},
    };
    const Bytes before = solidFrame({1, 2, 3});
    writeWholeFile(capturePath(), before);
    struct stat was;
    ASSERT_EQ(stat(capturePath().c_str(), &was), 0);

    for (const auto& [args, reason] : cases) {
        SCOPED_TRACE(args[1]);
        Agent agent(args, runtime.path());
        ASSERT_TRUE(agent.waitExit(startSeconds));
        EXPECT_EQ(agent.exitStatus(), 1);
        const std::vector<std::string> lines = nonEmptyLines(agent.errorOutput());
        ASSERT_EQ(lines.size(), 1u) << agent.errorOutput();
        EXPECT_THAT(lines[0], HasSubstr("cannot open source '" + args[1] + "': " + reason));
        EXPECT_THAT(lines[0], Not(HasSubstr(".;")));
        EXPECT_THAT(lines[0], Not(AnyOf(HasSubstr("fakesink0"), HasSubstr("videorate"))));
    }
    struct stat now;
    ASSERT_EQ(stat(capturePath().c_str(), &now), 0);
    EXPECT_EQ(now.st_ino, was.st_ino);
    EXPECT_EQ(readWholeFile(capturePath()), before);
}

TEST_F(AgentProcessTest, FileWhoseFramesAreAllStampedAtZeroStillPlays) {
    // An MPEG-4 file whose header claims thousands of frames a second and
    // whose frames all carry time zero, kept under /dev/shm: a file there is
    // a file, not a camera.
    ASSERT_STRNE(GST_LAUNCH_PATH, "") << "gst-launch-1.0 is missing (package gstreamer1.0-tools)";
    const std::string clip = "/dev/shm/lumigrab-test-" + std::to_string(getpid()) + "-ball.mp4";
    ASSERT_EQ(std::system((std::string(GST_LAUNCH_PATH) +
                           " -q videotestsrc num-buffers=90 pattern=ball ! "
                           "video/x-raw,width=320,height=240,framerate=30/1 ! avenc_mpeg4 ! "
                           "mp4mux ! filesink location=" +
                           clip + " >/dev/null 2>&1")
                              .c_str()),
              0);
    Agent agent({"--source", clip}, runtime.path());
    const bool started = waitForFrame(runtime.path(), startSeconds);
    std::set<Bytes> seen;
    const double until = monotonicSeconds() + 2;
    while (started && monotonicSeconds() < until) {
        seen.insert(readWholeFile(capturePath()));
        sleepSeconds(0.05);
    }
    unlink(clip.c_str());
    ASSERT_TRUE(started) << agent.errorOutput();
    // About 30 frames a second were written; a frozen picture gives one.
    EXPECT_GE(seen.size(), 10u) << agent.errorOutput();
    EXPECT_TRUE(agent.stop(SIGTERM));
    EXPECT_EQ(agent.exitStatus(), 0);
}

TEST_F(AgentProcessTest, BarsStayStill) {
    Agent agent({"--source", "bars"}, runtime.path());
    ASSERT_TRUE(waitForFrame(runtime.path(), startSeconds)) << agent.errorOutput();
    const Bytes first = readWholeFile(capturePath());
    sleepSeconds(0.5);
    EXPECT_EQ(readWholeFile(capturePath()), first);
    EXPECT_TRUE(agent.stop(SIGTERM));
}

TEST_F(AgentProcessTest, StopSignalDuringStartUpEndsItCleanly) {
    // The lock is taken before the cameras are looked for, which is the
    // slowest part of a bare start: a signal then lands during start-up.
    const std::string lock = runtime.file("lumigrab.lock");
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        unlink(lock.c_str());
        Agent agent({}, runtime.path());
        ASSERT_TRUE(eventually(startSeconds, [&] { return access(lock.c_str(), F_OK) == 0; }));
        kill(agent.pid(), SIGTERM);
        ASSERT_TRUE(agent.waitExit(startSeconds));
        EXPECT_EQ(agent.exitStatus(), 0) << agent.errorOutput();
        for (const std::string& name : runtime.entries()) {
            EXPECT_TRUE(name == "lumigrab.lock" || name == captureFileName) << name;
        }
    }
}

TEST_F(AgentProcessTest, HelpIntoAFullDiskFails) {
    const std::string errors = runtime.file("errors");
    const int status =
        std::system(("'" + std::string(agentPath()) + "' --help >/dev/full 2>" + errors).c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const Bytes text = readWholeFile(errors);
    EXPECT_THAT(std::string(text.begin(), text.end()), HasSubstr("cannot write the output"));
}

TEST_F(AgentProcessTest, StopEndsTheRunningAgentAndWaitsForIt) {
    Agent running({"--source", "green"}, runtime.path());
    ASSERT_TRUE(waitForFrame(runtime.path(), startSeconds)) << running.errorOutput();

    Agent stopper({"--stop"}, runtime.path());
    ASSERT_TRUE(stopper.waitExit(startSeconds));
    EXPECT_EQ(stopper.exitStatus(), 0) << stopper.errorOutput();
    EXPECT_THAT(stopper.standardOutput(),
                HasSubstr("Stopped the agent (process " + std::to_string(running.pid()) + ")"));
    // It has ended by the time --stop returns.
    EXPECT_TRUE(running.waitExit(0.5));
    EXPECT_EQ(running.exitStatus(), 0);

    Agent again({"--stop"}, runtime.path());
    ASSERT_TRUE(again.waitExit(startSeconds));
    EXPECT_EQ(again.exitStatus(), 0);
    EXPECT_THAT(again.standardOutput(), HasSubstr("No agent is running"));
}

TEST_F(AgentProcessTest, OnlyABareStartStopsWhenNobodyReads) {
    TempDir readRuntime, namedRuntime;
    Agent unread({}, runtime.path());
    Agent read({}, readRuntime.path());
    Agent named({"--source", "blue"}, namedRuntime.path());
    const double started = monotonicSeconds();
    ASSERT_TRUE(waitForFrame(readRuntime.path(), startSeconds)) << read.errorOutput();

    // Reads as a visualiser does, if far less often, until the unread agent
    // has stopped.
    const std::string readPath = capturePathIn(readRuntime.path());
    const bool stopped = eventually(idleStopSeconds + startSeconds, [&] {
        readWholeFile(readPath);
        sleepSeconds(0.5);
        return unread.waitExit(0);
    });
    ASSERT_TRUE(stopped) << unread.errorOutput();
    EXPECT_GE(monotonicSeconds() - started, idleStopSeconds);
    EXPECT_EQ(unread.exitStatus(), 0);
    EXPECT_THAT(unread.errorOutput(),
                HasSubstr("no visualiser has read the capture file for 10 seconds; stopping"));

    EXPECT_FALSE(read.waitExit(0)) << read.errorOutput();
    EXPECT_FALSE(named.waitExit(0)) << named.errorOutput();
    EXPECT_TRUE(read.stop(SIGTERM));
    EXPECT_TRUE(named.stop(SIGTERM));
}

TEST_F(AgentProcessTest, BadOptionsAreRefusedBeforeAnythingRuns) {
    Agent agent({"--fps", "fast"}, runtime.path());
    ASSERT_TRUE(agent.waitExit(startSeconds));
    EXPECT_EQ(agent.exitStatus(), 2);
    EXPECT_THAT(agent.errorOutput(), HasSubstr("--fps"));
    EXPECT_TRUE(runtime.entries().empty());
}

TEST_F(AgentProcessTest, InformationOptionsPrintAndTouchNothing) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"--help", "--pipeline"},
        {"--version", "lumigrab "},
        // No camera here says so; a machine with one lists it.
        {"--list", "amera"},
    };
    for (const auto& [option, expected] : cases) {
        SCOPED_TRACE(option);
        Agent agent({option}, runtime.path());
        ASSERT_TRUE(agent.waitExit(startSeconds));
        EXPECT_EQ(agent.exitStatus(), 0) << agent.errorOutput();
        EXPECT_THAT(agent.standardOutput(), HasSubstr(expected));
        EXPECT_EQ(agent.errorOutput(), "");
    }
    EXPECT_TRUE(runtime.entries().empty());
}

TEST_F(AgentProcessTest, SourceThatFailsIsRetriedAndResumes) {
    // identity raises an error after 15 frames, as a camera that is pulled out.
    Agent agent({"--pipeline",
                 "videotestsrc is-live=true pattern=green ! "
                 "video/x-raw,format=BGR,width=160,height=120,framerate=30/1 ! "
                 "identity error-after=15"},
                runtime.path());
    ASSERT_TRUE(waitForFrame(runtime.path(), startSeconds)) << agent.errorOutput();
    const auto countOf = [&](const std::string& part) {
        const std::string text = agent.errorOutput();
        int count = 0;
        for (std::size_t at = text.find(part); at != std::string::npos;
             at = text.find(part, at + 1)) {
            ++count;
        }
        return count;
    };
    EXPECT_TRUE(eventually(startSeconds, [&] { return countOf("is back") >= 2; }))
        << agent.errorOutput();
    EXPECT_GE(countOf("lost source"), 2);
    EXPECT_EQ(readWholeFile(capturePath()), solidFrame({0x00, 0xFF, 0x00}));
    EXPECT_TRUE(agent.stop(SIGTERM));
    EXPECT_EQ(agent.exitStatus(), 0);
}

TEST_F(AgentProcessTest, WithoutADisplayItCapturesAndSaysSoOnce) {
    // No DISPLAY at all, and one that names no server: each is named.
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "no X display (DISPLAY is not set)"},
        {{"DISPLAY=:4747"}, "cannot open the X display ':4747'"},
    };
    for (const auto& [env, reason] : cases) {
        SCOPED_TRACE(reason);
        unlink(capturePath().c_str());
        Agent agent({"--source", "white"}, runtime.path(), false, env);
        ASSERT_TRUE(waitForFrame(runtime.path(), startSeconds)) << agent.errorOutput();
        sleepSeconds(0.3);
        EXPECT_TRUE(agent.stop(SIGTERM));
        const std::vector<std::string> lines = nonEmptyLines(agent.errorOutput());
        ASSERT_EQ(lines.size(), 1u) << agent.errorOutput();
        EXPECT_THAT(lines[0], HasSubstr(reason + ", so visualisers cannot see"));
    }
}

TEST_F(AgentProcessTest, UnusableCaptureFolderIsNamedWithItsOwnStatus) {
    const std::string missing = runtime.file("missing");
    Agent agent({"--source", "red"}, missing);
    ASSERT_TRUE(agent.waitExit(startSeconds));
    EXPECT_EQ(agent.exitStatus(), exitNoFolder);
    EXPECT_THAT(agent.errorOutput(), HasSubstr(missing));
    EXPECT_THAT(agent.errorOutput(), HasSubstr("No such file or directory"));
}

TEST_F(AgentProcessTest, SecondAgentInTheSameDirectoryStepsAside) {
    Agent first({"--source", "blue"}, runtime.path());
    ASSERT_TRUE(waitForFrame(runtime.path(), startSeconds)) << first.errorOutput();

    Agent bare({}, runtime.path());
    ASSERT_TRUE(bare.waitExit(startSeconds));
    EXPECT_EQ(bare.exitStatus(), 0);
    EXPECT_EQ(bare.errorOutput() + bare.standardOutput(), "");

    Agent named({"--source", "red"}, runtime.path());
    ASSERT_TRUE(named.waitExit(startSeconds));
    EXPECT_EQ(named.exitStatus(), 3);
    EXPECT_THAT(named.errorOutput(), HasSubstr("process " + std::to_string(first.pid())));

    EXPECT_EQ(readWholeFile(capturePath()), solidFrame({0xFF, 0x00, 0x00}));
    EXPECT_TRUE(first.stop(SIGTERM));
}

TEST_F(AgentProcessTest, OfTwoStartedTogetherExactlyOneRuns) {
    Agent one({}, runtime.path());
    Agent two({}, runtime.path());
    ASSERT_TRUE(waitForFrame(runtime.path(), startSeconds));
    Agent* const agents[] = {&one, &two};
    const auto exited = [&] {
        int count = 0;
        for (Agent* agent : agents) count += agent->waitExit(0);
        return count;
    };
    ASSERT_TRUE(eventually(startSeconds, [&] { return exited() == 1; }));
    sleepSeconds(0.5);
    EXPECT_EQ(exited(), 1);
    for (Agent* agent : agents) {
        if (agent->pid() < 0) {
            EXPECT_EQ(agent->exitStatus(), 0);
        }
    }
}

}  // namespace
