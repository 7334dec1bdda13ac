#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "agent_options.h"
#include "agent_test_support.h"
#include "camera_choice.h"
#include "capture_file.h"
#include "file_pacer.h"
#include "frame_pack.h"
#include "frame_writer.h"
#include "instance_lock.h"
#include "pattern_picture.h"
#include "source_plan.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct AcceptedCase {
    std::vector<std::string> args;
    AgentOptions::Action action;
    std::string source;
    std::string pipeline;
    int fps;
    bool mirror;
};

TEST(AgentOptions, AcceptsEachOptionInBothSpellings) {
    using Action = AgentOptions::Action;
    const std::vector<AcceptedCase> cases = {
        {{}, Action::Run, "", "", 30, false},
        {{"--source", "/dev/video2"}, Action::Run, "/dev/video2", "", 30, false},
        {{"--source=clip one.mp4"}, Action::Run, "clip one.mp4", "", 30, false},
        {{"--pipeline", "videotestsrc ! videoflip method=clockwise"},
         Action::Run,
         "",
         "videotestsrc ! videoflip method=clockwise",
         30,
         false},
        {{"--fps", "15", "--mirror"}, Action::Run, "", "", 15, true},
        {{"--fps=120"}, Action::Run, "", "", 120, false},
        {{"--list"}, Action::List, "", "", 30, false},
        {{"--source", "red", "--help"}, Action::Help, "red", "", 30, false},
        {{"-h"}, Action::Help, "", "", 30, false},
        {{"--version"}, Action::Version, "", "", 30, false},
        {{"--stop"}, Action::Stop, "", "", 30, false},
        {{"--list", "--help"}, Action::Help, "", "", 30, false},
    };
    for (const AcceptedCase& expected : cases) {
        SCOPED_TRACE(::testing::PrintToString(expected.args));
        const OptionsResult result = parseAgentOptions(expected.args);
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_EQ(result.options.action, expected.action);
        EXPECT_EQ(result.options.source, expected.source);
        EXPECT_EQ(result.options.pipeline, expected.pipeline);
        EXPECT_EQ(result.options.fps, expected.fps);
        EXPECT_EQ(result.options.mirror, expected.mirror);
        EXPECT_EQ(result.options.bare, expected.args.empty());
    }
}

TEST(AgentOptions, RejectsBadArgumentsWithAReason) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--fps", "0"}, "--fps"},
        {{"--fps", "121"}, "--fps"},
        {{"--fps", "30x"}, "--fps"},
        {{"--fps", "-5"}, "--fps"},
        {{"--fps"}, "--fps needs a value"},
        {{"--source"}, "--source needs a value"},
        {{"--source="}, "--source needs a value"},
        {{"--mirror=yes"}, "--mirror takes no value"},
        {{"--frobnicate"}, "unknown option '--frobnicate'"},
        {{"-x"}, "unknown option '-x'"},
        {{"/dev/video0"}, "unexpected argument '/dev/video0'"},
        {{"--source", "red", "--pipeline", "videotestsrc"}, "cannot be used together"},
        {{"--list", "--source", "red"}, "--list and --source cannot be used together"},
        {{"--fps", "10", "--stop"}, "--stop and --fps cannot be used together"},
        {{"--mirror", "--list"}, "--list and --mirror cannot be used together"},
        {{"--stop", "--list"}, "--stop and --list cannot be used together"},
        {{"--version", "--stop"}, "--version and --stop cannot be used together"},
        {{"--stop=now"}, "--stop takes no value"},
    };
    for (const auto& [args, reason] : cases) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const OptionsResult result = parseAgentOptions(args);
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.error.find(reason), std::string::npos) << result.error;
    }
}

TEST(AgentOptions, HelpSaysEachExitStatusAndTheRoomNeeded) {
    const std::string usage = agentUsage("lumigrab");
    for (int status : {exitDone, exitFailed, exitBadOptions, exitAlreadyRunning, exitNoFolder,
                       exitDisplayLost}) {
        EXPECT_NE(usage.find("\n  " + std::to_string(status) + "  "), std::string::npos) << status;
    }
    EXPECT_NE(usage.find("room for two frames"), std::string::npos);
}

TEST(AgentOptions, HelpNamesEveryBuiltinSource) {
    const std::string usage = agentUsage("lumigrab");
    for (const BuiltinSource& builtin : builtinSources()) {
        EXPECT_NE(usage.find(std::string("\n  ") + builtin.name + " "), std::string::npos)
            << builtin.name;
    }
}

// Three pixels a row, two bytes of padding after each row, as a decoder with
// a wider stride would deliver them; each pixel's bytes name its position.
Bytes paddedPicture(int width, int height, std::size_t stride) {
    Bytes picture(stride * std::size_t(height), 0xEE);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c) {
                picture[std::size_t(y) * stride + std::size_t(x) * 3 + std::size_t(c)] =
                    std::uint8_t(y * 100 + x * 10 + c);
            }
        }
    }
    return picture;
}

Bytes pixel(int y, int x) {
    return {std::uint8_t(y * 100 + x * 10), std::uint8_t(y * 100 + x * 10 + 1),
            std::uint8_t(y * 100 + x * 10 + 2)};
}

Bytes rowOf(std::initializer_list<Bytes> pixels) {
    Bytes row;
    for (const Bytes& p : pixels) row.insert(row.end(), p.begin(), p.end());
    return row;
}

TEST(PackCaptureRows, PutsTheBottomRowFirstAndDropsPadding) {
    const Bytes picture = paddedPicture(3, 2, 11);
    Bytes packed(18);
    packCaptureRows(picture.data(), 3, 2, 11, false, packed.data());
    Bytes expected = rowOf({pixel(1, 0), pixel(1, 1), pixel(1, 2)});
    const Bytes top = rowOf({pixel(0, 0), pixel(0, 1), pixel(0, 2)});
    expected.insert(expected.end(), top.begin(), top.end());
    EXPECT_EQ(packed, expected);
}

TEST(PackCaptureRows, MirrorSwapsWholePixelsNotBytes) {
    const Bytes picture = paddedPicture(3, 2, 11);
    Bytes packed(18);
    packCaptureRows(picture.data(), 3, 2, 11, true, packed.data());
    Bytes expected = rowOf({pixel(1, 2), pixel(1, 1), pixel(1, 0)});
    const Bytes top = rowOf({pixel(0, 2), pixel(0, 1), pixel(0, 0)});
    expected.insert(expected.end(), top.begin(), top.end());
    EXPECT_EQ(packed, expected);
}

class AtomicFileWriterTest : public ::testing::Test {
   protected:
    TempDir dir;
    AtomicFileWriter writer{dir.path(), "frame.raw"};
};

TEST_F(AtomicFileWriterTest, ReplacesTheWholeFileAndLeavesNothingElse) {
    {
        AtomicFileWriter own(dir.path(), "own.raw");
        for (std::size_t size : {100, 40, 70, 40}) {
            ASSERT_TRUE(own.replace(Bytes(size, std::uint8_t(size)).data(), size)) << own.error();
            EXPECT_EQ(readWholeFile(dir.file("own.raw")), Bytes(size, std::uint8_t(size)));
        }
        // At most one spare while it writes.
        EXPECT_LE(dir.entries().size(), 2u);
    }
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"own.raw"});
}

TEST_F(AtomicFileWriterTest, ReaderHoldingAnOldFrameKeepsIt) {
    // Frames alternate between two files where the system allows; one that
    // a reader still has open must never be written into.
    ASSERT_TRUE(writer.replace(Bytes(50, 1).data(), 50)) << writer.error();
    const int held = open(dir.file("frame.raw").c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    for (std::uint8_t value = 2; value < 8; ++value) {
        ASSERT_TRUE(writer.replace(Bytes(50, value).data(), 50)) << writer.error();
        EXPECT_EQ(readWholeFile(dir.file("frame.raw")), Bytes(50, value));
    }
    Bytes seen(60);
    EXPECT_EQ(pread(held, seen.data(), seen.size(), 0), 50);
    seen.resize(50);
    EXPECT_EQ(seen, Bytes(50, 1));
    close(held);
}

TEST_F(AtomicFileWriterTest, FileIsPrivateWhateverTheUmask) {
    for (mode_t mask : {mode_t(022), mode_t(0277)}) {
        const mode_t previous = umask(mask);
        const bool written = writer.replace(Bytes(3, 1).data(), 3);
        umask(previous);
        ASSERT_TRUE(written) << writer.error();
        struct stat info;
        ASSERT_EQ(stat(dir.file("frame.raw").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0600u) << "umask " << mask;
    }
}

TEST_F(AtomicFileWriterTest, PlantedSymlinkIsReplacedNotFollowed) {
    TempDir elsewhere;
    const std::string victim = elsewhere.file("victim");
    writeWholeFile(victim, Bytes{1, 2, 3});
    ASSERT_EQ(symlink(victim.c_str(), dir.file("frame.raw").c_str()), 0);

    ASSERT_TRUE(writer.replace(Bytes(10, 5).data(), 10)) << writer.error();
    struct stat info;
    ASSERT_EQ(lstat(dir.file("frame.raw").c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(readWholeFile(dir.file("frame.raw")), Bytes(10, 5));
    EXPECT_EQ(readWholeFile(victim), (Bytes{1, 2, 3}));
}

TEST_F(AtomicFileWriterTest, FailureKeepsTheOldFileAndNoTemporary) {
    ASSERT_TRUE(writer.replace(Bytes(4, 4).data(), 4));
    // A directory in the way makes the final rename fail after the write.
    AtomicFileWriter blocked(dir.path(), "busy");
    ASSERT_EQ(mkdir(dir.file("busy").c_str(), 0700), 0);
    ASSERT_EQ(mkdir(dir.file("busy/inside").c_str(), 0700), 0);
    EXPECT_FALSE(blocked.replace(Bytes(4, 8).data(), 4));
    EXPECT_NE(blocked.error().find("busy"), std::string::npos) << blocked.error();

    AtomicFileWriter missing(dir.file("gone"), "frame.raw");
    EXPECT_FALSE(missing.replace(Bytes(4, 8).data(), 4));
    EXPECT_FALSE(missing.error().empty());

    std::vector<std::string> names = dir.entries();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"busy", "frame.raw"}));
    EXPECT_EQ(readWholeFile(dir.file("frame.raw")), Bytes(4, 4));
}

TEST_F(AtomicFileWriterTest, RemovesOnlyItsOwnLeftovers) {
    for (const char* name : {".frame.raw.a1B2c3", ".frame.raw.zzzzzz", ".frame.raw.short",
                             "frame.raw", ".other.raw.a1B2c3", "notes.txt"}) {
        writeWholeFile(dir.file(name), Bytes{1});
    }
    writer.removeLeftovers();
    std::vector<std::string> names = dir.entries();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".frame.raw.short", ".other.raw.a1B2c3", "frame.raw",
                                               "notes.txt"}));
}

TEST(InstanceLock, SecondHolderIsRefusedAndToldWhoHoldsIt) {
    TempDir dir;
    const std::string path = dir.file("agent.lock");
    EXPECT_EQ(InstanceLock::holderOf(path), 0);
    {
        InstanceLock first;
        ASSERT_EQ(first.acquire(path), InstanceLock::Outcome::Acquired) << first.error();
        InstanceLock second;
        EXPECT_EQ(second.acquire(path), InstanceLock::Outcome::HeldElsewhere);
        EXPECT_EQ(second.holderPid(), long(getpid()));
        EXPECT_EQ(InstanceLock::holderOf(path), long(getpid()));
    }
    EXPECT_EQ(InstanceLock::holderOf(path), 0);
    InstanceLock again;
    EXPECT_EQ(again.acquire(path), InstanceLock::Outcome::Acquired);
}

TEST(InstanceLock, RefusesASymlinkInPlaceOfTheLockFile) {
    TempDir dir;
    const std::string target = dir.file("elsewhere");
    writeWholeFile(target, Bytes{'4', '2'});
    ASSERT_EQ(symlink(target.c_str(), dir.file("agent.lock").c_str()), 0);
    InstanceLock lock;
    EXPECT_EQ(lock.acquire(dir.file("agent.lock")), InstanceLock::Outcome::Failed);
    EXPECT_FALSE(lock.error().empty());
    EXPECT_EQ(readWholeFile(target), (Bytes{'4', '2'}));
}

TEST(SourcePlan, NamesThatAreNeitherBuiltinNorFilesAreRefused) {
    TempDir dir;
    SourcePlan plan;
    std::string error;
    EXPECT_FALSE(planForSource(dir.file("missing.mp4"), 30, &plan, &error));
    EXPECT_NE(error.find("no such"), std::string::npos) << error;
    EXPECT_FALSE(planForSource(dir.path(), 30, &plan, &error));
    EXPECT_NE(error.find("directory"), std::string::npos) << error;
}

TEST(SourcePlan, OnlyCharacterDevicesUnderDevAreCameras) {
    SourcePlan plan;
    std::string error;
    ASSERT_TRUE(planForSource("/dev/null", 30, &plan, &error)) << error;
    EXPECT_EQ(plan.kind, SourceKind::Device);

    // A clip kept in shared memory is a file like any other.
    const std::string clip = "/dev/shm/lumigrab-unit-clip-" + std::to_string(getpid()) + ".webm";
    writeWholeFile(clip, Bytes{1, 2, 3});
    ASSERT_TRUE(planForSource(clip, 30, &plan, &error)) << error;
    EXPECT_EQ(plan.kind, SourceKind::File);
    unlink(clip.c_str());

    EXPECT_FALSE(planForSource("/dev/video-lumigrab-none", 30, &plan, &error));
    EXPECT_NE(error.find("no such"), std::string::npos) << error;
}

TEST(SourcePlan, ReasonsLoseTheirFullStopBeforeMoreOfTheSentence) {
    EXPECT_EQ(clauseOf("Failed after iterations as requested."),
              "Failed after iterations as requested");
    EXPECT_EQ(clauseOf("Internal data stream error. "), "Internal data stream error");
    EXPECT_EQ(clauseOf("no element \"x\""), "no element \"x\"");
}

const std::vector<CameraEntry> threeCameras = {
    {"HD Webcam", "/dev/video0"},
    {"USB Camera", "/dev/video2"},
    {"usb camera", "/dev/video4"},
};

TEST(CameraChoice, ReadsNumbersNamesAndNodesAsListShowsThem) {
    struct Case {
        std::string text;
        bool camera;
        int index;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"1", true, 0, ""},
        {"3", true, 2, ""},
        {"4", true, -1, "there is no camera 4: 3 cameras are connected"},
        {"0", true, -1, "there is no camera 0"},
        {"HD Webcam", true, 0, ""},
        {"hd webcam", true, 0, ""},
        {"USB Camera", true, 1, ""},
        {"Usb Camera", true, -1, "several cameras"},
        {"/dev/video4", true, 2, ""},
        {"clip.mp4", false, -1, ""},
    };
    for (const Case& expected : cases) {
        SCOPED_TRACE(expected.text);
        const CameraPick pick = pickCamera(expected.text, threeCameras);
        EXPECT_EQ(pick.refersToCamera, expected.camera);
        EXPECT_EQ(pick.index, expected.index);
        EXPECT_NE(pick.error.find(expected.error), std::string::npos) << pick.error;
    }
    EXPECT_EQ(pickCamera("1", {}).error, "there is no camera 1: no camera is connected");
}

TEST(CameraChoice, ListingNumbersCamerasAndMarksTheOneABareStartTakes) {
    const std::vector<std::string> lines = nonEmptyLines(cameraListing(threeCameras, "lumigrab"));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1], "  1  HD Webcam (/dev/video0)  [default]");
    EXPECT_EQ(lines[2], "  2  USB Camera (/dev/video2)");
    EXPECT_EQ(lines[3], "  3  usb camera (/dev/video4)");
    EXPECT_NE(cameraListing({}, "lumigrab").find("No cameras found"), std::string::npos);
}

TEST(FramePacer, KeepsAdvancingTimesAndSpacesOutStuckOnes) {
    constexpr std::uint64_t frame = 33'333'333, closest = 8'333'333;
    FramePacer pacer(frame, closest);
    // A file stamped at 25 frames a second keeps its own times.
    EXPECT_EQ(pacer.place(0), 0u);
    EXPECT_EQ(pacer.place(40'000'000), 40'000'000u);
    EXPECT_EQ(pacer.place(80'000'000), 80'000'000u);
    // Frames stamped all alike, or not at all, follow at the agent's rate.
    EXPECT_EQ(pacer.place(80'000'000), 80'000'000u + frame);
    EXPECT_EQ(pacer.place(std::nullopt), 80'000'000u + 2 * frame);
    // Far too close together counts as stuck too.
    EXPECT_EQ(pacer.place(80'000'000u + 2 * frame + 1'000), 80'000'000u + 3 * frame);
    pacer.restart();
    EXPECT_EQ(pacer.place(0), 0u);
    EXPECT_EQ(pacer.place(0), frame);
}

double meanLevel(const Bytes& frame) {
    double sum = 0;
    for (std::uint8_t value : frame) sum += value;
    return sum / double(frame.size());
}

Bytes patternAt(double seconds) {
    Bytes frame(captureFrameBytes);
    renderPattern(seconds, frame.data(), captureFrameWidth * 3);
    return frame;
}

// One scene twists and another rises with the frame's overall brightness,
// so the built-in picture must not hold it steady.
TEST(PatternPicture, OverallBrightnessDriftsOverTime) {
    double dimmest = 255, brightest = 0;
    for (double t = 0; t < 60; t += 0.5) {
        const double level = meanLevel(patternAt(t));
        dimmest = std::min(dimmest, level);
        brightest = std::max(brightest, level);
    }
    EXPECT_GT(brightest - dimmest, 50);
}

TEST(PatternPicture, EveryFrameHoldsShadowsAndManyColours) {
    for (double t : {0.0, 13.0, 31.0, 47.0}) {
        SCOPED_TRACE(t);
        const Bytes frame = patternAt(t);
        int dark = 0;
        std::set<int> hues;
        for (std::size_t at = 0; at < frame.size(); at += 3) {
            const int blue = frame[at], green = frame[at + 1], red = frame[at + 2];
            const int level = std::max({blue, green, red});
            dark += level < 60;
            // The strongest channel names a rough hue.
            if (level > 60) hues.insert(level == red ? 0 : level == green ? 1 : 2);
        }
        const int pixels = int(frame.size() / 3);
        EXPECT_GT(dark, pixels / 20);
        EXPECT_EQ(hues.size(), 3u);
    }
}

TEST(PatternPicture, MovesFromFrameToFrame) {
    const Bytes first = patternAt(10.0), next = patternAt(10.0 + 1.0 / 30);
    int changed = 0;
    for (std::size_t i = 0; i < first.size(); ++i) changed += first[i] != next[i];
    EXPECT_GT(changed, int(first.size() / 10));
}

}  // namespace
