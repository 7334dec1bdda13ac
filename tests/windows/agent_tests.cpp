#include <gtest/gtest.h>

#include "capture_agent.h"
#include "capture_file.h"
#include "windows_test_support.h"

namespace {

// Wine starts a program in about a second; a loaded machine takes longer.
constexpr double startSeconds = 20;

bool noTemporaryFilesBesideTheCaptureFile() {
    char directory[MAX_PATH];
    if (!captureDirectory(directory, sizeof directory)) return false;
    WIN32_FIND_DATAA found;
    const std::string pattern = std::string(directory) + "\\." + captureFileName + ".*";
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return true;
    FindClose(search);
    return false;
}

class AgentTest : public ::testing::Test {
   protected:
    void SetUp() override {
        // No agent may be left over from elsewhere: these tests own the
        // capture file while they run.
        ASSERT_EQ(FindWindowA(nullptr, captureAgentTitle), nullptr);
        DeleteFileA(capturePath().c_str());
    }

    Bytes frameFrom(const std::vector<std::string>& args) {
        AgentProcess agent(args);
        EXPECT_TRUE(waitForFrame({}, startSeconds)) << agent.errorOutput();
        Bytes frame = readWholeFile(capturePath());
        EXPECT_TRUE(agent.closeWindow(startSeconds));
        EXPECT_EQ(agent.exitStatus(), 0) << agent.errorOutput();
        return frame;
    }
};

TEST_F(AgentTest, SolidBuiltinsGiveExactBgrBytes) {
    const std::vector<std::pair<std::string, Bytes>> cases = {
        {"red", solidFrame(0x00, 0x00, 0xFF)},   {"green", solidFrame(0x00, 0xFF, 0x00)},
        {"blue", solidFrame(0xFF, 0x00, 0x00)},  {"white", solidFrame(0xFF, 0xFF, 0xFF)},
        {"black", solidFrame(0x00, 0x00, 0x00)},
    };
    for (const auto& [name, expected] : cases) {
        SCOPED_TRACE(name);
        DeleteFileA(capturePath().c_str());
        EXPECT_EQ(frameFrom({"--source", name}), expected);
    }
}

TEST_F(AgentTest, ReaderNeverSeesAFrameMixedFromTwo) {
    AgentProcess agent({"--source", "blink", "--fps", "60"});
    ASSERT_TRUE(waitForFrame({}, startSeconds)) << agent.errorOutput();
    // Reads as the visualisers do, thousands of times and until both
    // colours have shown up.
    const Bytes black = solidFrame(0, 0, 0), white = solidFrame(0xFF, 0xFF, 0xFF);
    Bytes frame(captureFrameBytes);
    int reads = 0, blacks = 0, whites = 0, torn = 0;
    const double deadline = nowSeconds() + startSeconds;
    while ((reads < 3000 || blacks == 0 || whites == 0) && nowSeconds() < deadline) {
        ++reads;
        ASSERT_EQ(readCaptureFile(frame.data(), frame.size()), long(captureFrameBytes));
        blacks += frame == black;
        whites += frame == white;
        torn += frame != black && frame != white;
    }
    EXPECT_EQ(torn, 0);
    EXPECT_GT(blacks, 0);
    EXPECT_GT(whites, 0);
    EXPECT_TRUE(agent.closeWindow(startSeconds));
}

TEST_F(AgentTest, ClosingItsWindowEndsItWithOneWholeFrameAndNoTemporaryFile) {
    AgentProcess agent({"--source", "blink", "--fps", "120"});
    ASSERT_TRUE(waitForFrame({}, startSeconds)) << agent.errorOutput();
    Sleep(300);
    ASSERT_TRUE(agent.closeWindow(startSeconds));
    EXPECT_EQ(agent.exitStatus(), 0) << agent.errorOutput();
    const Bytes frame = readWholeFile(capturePath());
    EXPECT_TRUE(frame == solidFrame(0, 0, 0) || frame == solidFrame(0xFF, 0xFF, 0xFF));
    EXPECT_TRUE(noTemporaryFilesBesideTheCaptureFile());
    EXPECT_EQ(FindWindowA(nullptr, captureAgentTitle), nullptr);
}

TEST_F(AgentTest, BadOptionsGiveStatusTwoBeforeAnythingRuns) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--fps", "0"}, "--fps"},
        {{"--frobnicate"}, "unknown option '--frobnicate'"},
        {{"clip.mp4"}, "unexpected argument 'clip.mp4'"},
        {{"--pipeline", "videotestsrc"}, "GStreamer"},
        {{"--list", "--source", "red"}, "options --list and --source cannot be used together"},
        {{"--stop", "--fps", "10"}, "options --stop and --fps cannot be used together"},
    };
    for (const auto& [args, expected] : cases) {
        SCOPED_TRACE(args[0]);
        AgentProcess agent(args);
        ASSERT_TRUE(agent.waitExit(startSeconds));
        EXPECT_EQ(agent.exitStatus(), 2);
        const std::vector<std::string> lines = nonEmptyLines(agent.errorOutput());
        ASSERT_EQ(lines.size(), 2u) << agent.errorOutput();
        EXPECT_NE(lines[0].find(expected), std::string::npos) << lines[0];
        EXPECT_NE(lines[1].find("--help"), std::string::npos) << lines[1];
    }
    EXPECT_FALSE(fileExists(capturePath()));
}

TEST_F(AgentTest, InformationOptionsPrintAndTouchNothing) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"--help", "--source"}, {"--version", "lumigrab "}, {"--list", "amera"}};
    for (const auto& [option, expected] : cases) {
        SCOPED_TRACE(option);
        AgentProcess agent({option});
        ASSERT_TRUE(agent.waitExit(startSeconds));
        EXPECT_EQ(agent.exitStatus(), 0) << agent.errorOutput();
        EXPECT_NE(agent.standardOutput().find(expected), std::string::npos);
        EXPECT_EQ(agent.errorOutput(), "");
    }
    EXPECT_FALSE(fileExists(capturePath()));
}

TEST_F(AgentTest, SourceThatCannotOpenFailsInOneLineAndLeavesTheFileAlone) {
    TempFolder media;
    writeWholeFile(media.file("notes.txt"), {'n', 'o', 't', ' ', 'v', 'i', 'd', 'e', 'o'});
    const Bytes before = solidFrame(1, 2, 3);
    writeWholeFile(capturePath(), before);
    for (const std::string& source : {media.file("missing.avi"), media.path(),
                                      std::string("No Such Camera"), std::string("3")}) {
        SCOPED_TRACE(source);
        AgentProcess agent({"--source", source});
        ASSERT_TRUE(agent.waitExit(startSeconds));
        EXPECT_EQ(agent.exitStatus(), 1);
        const std::vector<std::string> lines = nonEmptyLines(agent.errorOutput());
        ASSERT_EQ(lines.size(), 1u) << agent.errorOutput();
        EXPECT_NE(lines[0].find("cannot open source '" + source + "'"), std::string::npos);
    }
    EXPECT_EQ(readWholeFile(capturePath()), before);
}

TEST_F(AgentTest, SecondAgentStepsAside) {
    AgentProcess first({"--source", "blue"});
    const Bytes blue = solidFrame(0xFF, 0x00, 0x00);
    ASSERT_TRUE(waitForFrame(blue, startSeconds)) << first.errorOutput();

    AgentProcess bare({});
    ASSERT_TRUE(bare.waitExit(startSeconds));
    EXPECT_EQ(bare.exitStatus(), 0);
    EXPECT_EQ(bare.errorOutput() + bare.standardOutput(), "");

    AgentProcess named({"--source", "red"});
    ASSERT_TRUE(named.waitExit(startSeconds));
    EXPECT_EQ(named.exitStatus(), 3);
    EXPECT_NE(named.errorOutput().find("process " + std::to_string(first.pid())), std::string::npos)
        << named.errorOutput();

    EXPECT_EQ(readWholeFile(capturePath()), blue);
    EXPECT_TRUE(first.closeWindow(startSeconds));
}

TEST_F(AgentTest, StopEndsTheRunningAgentAndWaitsForIt) {
    AgentProcess agent({"--source", "blink", "--fps", "60"});
    ASSERT_TRUE(waitForFrame({}, startSeconds)) << agent.errorOutput();

    AgentProcess stop({"--stop"});
    ASSERT_TRUE(stop.waitExit(startSeconds));
    EXPECT_EQ(stop.exitStatus(), 0) << stop.errorOutput();
    EXPECT_EQ(nonEmptyLines(stop.standardOutput()),
              std::vector<std::string>{"Stopped the agent (process " + std::to_string(agent.pid()) +
                                       ")."});
    // --stop returned only once the agent had ended, leaving a whole frame.
    EXPECT_TRUE(agent.waitExit(0));
    EXPECT_EQ(agent.exitStatus(), 0) << agent.errorOutput();
    EXPECT_EQ(FindWindowA(nullptr, captureAgentTitle), nullptr);
    const Bytes frame = readWholeFile(capturePath());
    EXPECT_TRUE(frame == solidFrame(0, 0, 0) || frame == solidFrame(0xFF, 0xFF, 0xFF));
    EXPECT_TRUE(noTemporaryFilesBesideTheCaptureFile());

    AgentProcess again({"--stop"});
    ASSERT_TRUE(again.waitExit(startSeconds));
    EXPECT_EQ(again.exitStatus(), 0);
    EXPECT_EQ(nonEmptyLines(again.standardOutput()),
              std::vector<std::string>{"No agent is running."});
}

TEST_F(AgentTest, OfTwoStartedTogetherExactlyOneRuns) {
    AgentProcess one({}), two({});
    ASSERT_TRUE(waitForFrame({}, startSeconds));
    AgentProcess* const agents[] = {&one, &two};
    const double deadline = nowSeconds() + startSeconds;
    int exited = 0;
    while (nowSeconds() < deadline && exited == 0) {
        exited = one.waitExit(0) + two.waitExit(0);
        Sleep(20);
    }
    Sleep(500);
    EXPECT_EQ(one.waitExit(0) + two.waitExit(0), 1);
    for (AgentProcess* agent : agents) {
        if (agent->waitExit(0)) {
            EXPECT_EQ(agent->exitStatus(), 0);
            EXPECT_EQ(agent->errorOutput(), "");
        } else {
            EXPECT_TRUE(agent->closeWindow(startSeconds));
        }
    }
}

}  // namespace
