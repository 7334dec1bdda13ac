// The agent with pretend cameras that the tests plug in and pull out (see
// test_camera_plugin.cpp). The desktop's own camera providers are switched
// off, so a real camera on the test machine cannot get in the way.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "agent_test_support.h"
#include "capture_file.h"

namespace {

using ::testing::HasSubstr;
using Bytes = std::vector<std::uint8_t>;

constexpr double startSeconds = 20;
// Generous beside the 2 s a camera is promised within, so that a busy
// machine does not fail the test; the time taken is printed.
constexpr double changeSeconds = 10;

// A camera's colour as its file gives it, RRGGBB.
struct Colour {
    const char* hex;
    Bytes frame() const;
};

Bytes Colour::frame() const {
    const unsigned value = unsigned(std::stoul(hex, nullptr, 16));
    const std::uint8_t bgr[3] = {std::uint8_t(value), std::uint8_t(value >> 8),
                                 std::uint8_t(value >> 16)};
    Bytes frame(captureFrameBytes);
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = bgr[i % 3];
    return frame;
}

constexpr Colour red{"ff0000"}, green{"00ff00"}, blue{"0000ff"};

bool isSolid(const Bytes& frame) {
    if (frame.size() != captureFrameBytes) return false;
    for (std::size_t i = 3; i < frame.size(); ++i) {
        if (frame[i] != frame[i % 3]) return false;
    }
    return true;
}

int countOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class AgentCameraTest : public ::testing::Test {
   protected:
    TempDir runtime;
    TempDir cameras;

    void plug(const std::string& name, Colour colour) {
        // Written aside and renamed, so the provider never sees half a file.
        const std::string aside = cameras.path() + "/." + name;
        writeWholeFile(aside, Bytes(colour.hex, colour.hex + 6));
        ASSERT_EQ(rename(aside.c_str(), cameras.file(name).c_str()), 0);
    }
    void unplug(const std::string& name) { ASSERT_EQ(unlink(cameras.file(name).c_str()), 0); }

    std::vector<std::string> environment() const {
        return {
            std::string("GST_PLUGIN_PATH=") + LUMIGRAB_TEST_PLUGIN_DIR,
            std::string("GST_REGISTRY=") + LUMIGRAB_TEST_REGISTRY,
            "LUMIGRAB_TEST_CAMERAS=" + cameras.path(),
            "GST_PLUGIN_FEATURE_RANK=v4l2deviceprovider:NONE,pipewiredeviceprovider:NONE",
        };
    }
    Agent start(const std::vector<std::string>& args) {
        return Agent(args, runtime.path(), false, environment());
    }

    Bytes frame() const { return readWholeFile(capturePathIn(runtime.path())); }
    // Seconds until the capture file shows `expected`, or -1. Reading the
    // file also keeps a bare-started agent from stopping for want of readers.
    double secondsUntil(const Bytes& expected) const {
        const double from = monotonicSeconds();
        return eventually(changeSeconds, [&] { return frame() == expected; })
                   ? monotonicSeconds() - from
                   : -1;
    }
    double secondsUntilThePicture() const {
        const double from = monotonicSeconds();
        return eventually(changeSeconds,
                          [&] {
                              const Bytes now = frame();
                              return now.size() == captureFrameBytes && !isSolid(now);
                          })
                   ? monotonicSeconds() - from
                   : -1;
    }
};

TEST_F(AgentCameraTest, ListNumbersTheCamerasAndMarksTheDefault) {
    plug("Desk Cam", red);
    plug("Hall Cam", green);
    Agent agent = start({"--list"});
    ASSERT_TRUE(agent.waitExit(startSeconds));
    EXPECT_EQ(agent.exitStatus(), 0);
    EXPECT_EQ(agent.errorOutput(), "");
    const std::vector<std::string> lines = nonEmptyLines(agent.standardOutput());
    ASSERT_EQ(lines.size(), 4u) << agent.standardOutput();
    EXPECT_EQ(lines[1], "  1  Desk Cam (" + cameras.file("Desk Cam") + ")  [default]");
    EXPECT_EQ(lines[2], "  2  Hall Cam (" + cameras.file("Hall Cam") + ")");
}

TEST_F(AgentCameraTest, SourceTakesACameraByItsNumberOrName) {
    plug("Desk Cam", red);
    plug("Hall Cam", green);
    const std::vector<std::pair<std::string, Colour>> cases = {
        {"1", red}, {"2", green}, {"Hall Cam", green}, {"desk cam", red}};
    for (const auto& [source, colour] : cases) {
        SCOPED_TRACE(source);
        unlink(capturePathIn(runtime.path()).c_str());
        Agent agent = start({"--source", source});
        EXPECT_GE(secondsUntil(colour.frame()), 0) << agent.errorOutput();
        EXPECT_TRUE(agent.stop(SIGTERM));
        EXPECT_EQ(agent.exitStatus(), 0);
    }

    const std::vector<std::pair<std::string, std::string>> refused = {
        {"3", "there is no camera 3: 2 cameras are connected"},
        {"Porch Cam", "no such file, camera or built-in source"},
    };
    for (const auto& [source, reason] : refused) {
        SCOPED_TRACE(source);
        Agent agent = start({"--source", source});
        ASSERT_TRUE(agent.waitExit(startSeconds));
        EXPECT_EQ(agent.exitStatus(), 1);
        EXPECT_THAT(agent.errorOutput(), HasSubstr("'" + source + "': " + reason));
    }
}

TEST_F(AgentCameraTest, BareStartTakesTheFirstCameraThere) {
    plug("Desk Cam", blue);
    plug("Hall Cam", green);
    Agent agent = start({});
    EXPECT_GE(secondsUntil(blue.frame()), 0) << agent.errorOutput();
    EXPECT_TRUE(agent.stop(SIGTERM));
    EXPECT_EQ(agent.exitStatus(), 0);
}

TEST_F(AgentCameraTest, BareStartFollowsCamerasAsTheyComeAndGo) {
    Agent agent = start({});
    ASSERT_GE(secondsUntilThePicture(), 0) << agent.errorOutput();

    plug("Desk Cam", blue);
    const double plugged = secondsUntil(blue.frame());
    ASSERT_GE(plugged, 0) << agent.errorOutput();

    // Pulled out: the last picture stays a while and the agent says so once.
    unplug("Desk Cam");
    ASSERT_TRUE(eventually(changeSeconds, [&] {
        return countOf(agent.errorOutput(), "lost camera") == 1;
    })) << agent.errorOutput();
    const double lostAt = monotonicSeconds();
    EXPECT_EQ(frame(), blue.frame());
    const double fallback = secondsUntilThePicture();
    ASSERT_GE(fallback, 0) << agent.errorOutput();
    const double fellBackAfter = monotonicSeconds() - lostAt;
    EXPECT_GE(fellBackAfter, 2) << "the built-in picture came back too soon";

    plug("Hall Cam", green);
    const double replugged = secondsUntil(green.frame());
    ASSERT_GE(replugged, 0) << agent.errorOutput();

    std::printf(
        "plug to picture %.2f s; built-in picture %.2f s after the unplug; "
        "replug to picture %.2f s\n",
        plugged, fellBackAfter, replugged);
    const std::string log = agent.errorOutput();
    EXPECT_EQ(countOf(log, "lost camera 'Desk Cam"), 1) << log;
    EXPECT_EQ(countOf(log, "showing the built-in picture"), 1) << log;
    EXPECT_EQ(countOf(log, "using camera 'Hall Cam"), 1) << log;
    EXPECT_TRUE(agent.stop(SIGTERM));
    EXPECT_EQ(agent.exitStatus(), 0);
}

TEST_F(AgentCameraTest, NamedCameraIsWaitedForAfterItIsPulledOut) {
    plug("Desk Cam", red);
    plug("Hall Cam", green);
    Agent agent = start({"--source", "Desk Cam"});
    ASSERT_GE(secondsUntil(red.frame()), 0) << agent.errorOutput();

    unplug("Desk Cam");
    ASSERT_TRUE(eventually(changeSeconds, [&] {
        return countOf(agent.errorOutput(), "lost source 'Desk Cam") == 1;
    })) << agent.errorOutput();
    // Neither another camera nor the built-in picture takes its place.
    sleepSeconds(4);
    EXPECT_EQ(frame(), red.frame());

    plug("Desk Cam", blue);
    EXPECT_GE(secondsUntil(blue.frame()), 0) << agent.errorOutput();
    EXPECT_THAT(agent.errorOutput(), HasSubstr("source 'Desk Cam"));
    EXPECT_THAT(agent.errorOutput(), HasSubstr("is back"));
    EXPECT_TRUE(agent.stop(SIGTERM));
    EXPECT_EQ(agent.exitStatus(), 0);
}

}  // namespace
