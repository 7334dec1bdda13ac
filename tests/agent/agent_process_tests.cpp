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
#include <string>
#include <vector>

#include "agent_test_support.h"
#include "capture_file.h"

namespace {

using ::testing::HasSubstr;
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
    TempDir media;
    writeWholeFile(media.file("notes.txt"), Bytes{'n', 'o', 't', ' ', 'v', 'i', 'd', 'e', 'o'});
    const std::vector<std::vector<std::string>> cases = {
        {"--source", media.file("missing.avi")},
        {"--source", "/dev/video-lumigrab-none"},
        {"--source", media.file("notes.txt")},
        {"--pipeline", "nosuchsourceelement"},
    };
    const Bytes before = solidFrame({1, 2, 3});
    writeWholeFile(capturePath(), before);
    struct stat was;
    ASSERT_EQ(stat(capturePath().c_str(), &was), 0);

    for (const std::vector<std::string>& args : cases) {
        SCOPED_TRACE(args[1]);
        Agent agent(args, runtime.path());
        ASSERT_TRUE(agent.waitExit(startSeconds));
        EXPECT_EQ(agent.exitStatus(), 1);
        const std::vector<std::string> lines = nonEmptyLines(agent.errorOutput());
        ASSERT_EQ(lines.size(), 1u) << agent.errorOutput();
        EXPECT_THAT(lines[0], HasSubstr("cannot open source '" + args[1] + "'"));
    }
    struct stat now;
    ASSERT_EQ(stat(capturePath().c_str(), &now), 0);
    EXPECT_EQ(now.st_ino, was.st_ino);
    EXPECT_EQ(readWholeFile(capturePath()), before);
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
    Agent agent({"--source", "white"}, runtime.path());
    ASSERT_TRUE(waitForFrame(runtime.path(), startSeconds)) << agent.errorOutput();
    sleepSeconds(0.3);
    EXPECT_TRUE(agent.stop(SIGTERM));
    const std::vector<std::string> lines = nonEmptyLines(agent.errorOutput());
    ASSERT_EQ(lines.size(), 1u) << agent.errorOutput();
    EXPECT_THAT(lines[0], HasSubstr("visualisers cannot see"));
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
