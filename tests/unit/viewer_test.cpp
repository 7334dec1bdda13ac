#include "viewer.h"

#include <GL/glut.h>
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "program_rows.h"
#include "tunnel/tunnel.h"

extern const ViewerSettings planesSettings;
extern const ViewerSettings tunnelSettings;

namespace {

// Records the window operations in the order they are asked for.
class RecordingWindow : public WindowSystem {
   public:
    WindowGeometry geometry() override {
        calls.push_back("geometry");
        return current;
    }
    void enterFullScreen() override { calls.push_back("fullScreen"); }
    void reshapeWindow(int width, int height) override {
        calls.push_back("reshape " + std::to_string(width) + "x" + std::to_string(height));
    }
    void positionWindow(int x, int y) override {
        calls.push_back("position " + std::to_string(x) + "," + std::to_string(y));
    }
    void presentToDesktop() override { calls.push_back("present"); }
    WindowGeometry current{100, 100, 640, 480};
    std::vector<std::string> calls;
};

class ViewerTest : public testing::Test {
   protected:
    RecordingWindow window;
};

TEST_F(ViewerTest, PointerSteeringClosesAFixedShareOfTheGapEachPass) {
    for (const ProgramRow& row : programRows) {
        SCOPED_TRACE(row.name);
        Viewer viewer(*row.settings, window);
        viewer.onMouseMove(100, -40);
        for (int pass = 0; pass < 10; ++pass) viewer.followCamera();
        // 1 - 0.9^10 of the gap after ten passes.
        EXPECT_NEAR(viewer.yaw, 65.13, 0.01);
        EXPECT_NEAR(viewer.pitch, -26.05, 0.01);
        for (int pass = 0; pass < 400; ++pass) viewer.followCamera();
        EXPECT_FLOAT_EQ(viewer.yaw, 100);
        EXPECT_FLOAT_EQ(viewer.pitch, -40);
    }
}

TEST_F(ViewerTest, AutomaticSpinLagsTheRampByNineRatesOnceSettled) {
    for (const ProgramRow& row : programRows) {
        SCOPED_TRACE(row.name);
        const ViewerSettings* settings = row.settings;
        Viewer viewer(*settings, window);
        viewer.onMouseMove(300, 200);
        viewer.onLeftPress(0, 0);
        for (int pass = 1; pass <= 300; ++pass) {
            viewer.frameCount = pass;
            viewer.followCamera();
        }
        const double lag = 9.0;  // (1 - 0.1) / 0.1 passes behind the ramp
        EXPECT_NEAR(viewer.yaw, (300 - lag) * settings->yawRate, 1e-3);
        EXPECT_NEAR(viewer.pitch, (300 - lag) * settings->pitchRate, 1e-3);
    }
}

TEST_F(ViewerTest, SwitchingModesGlidesFromTheCurrentAngles) {
    Viewer viewer(planesSettings, window);
    viewer.yaw = 50;
    viewer.pitch = 20;
    viewer.frameCount = 10;
    viewer.onLeftPress(5, 5);
    viewer.onLeftRelease(5, 5);
    ASSERT_TRUE(viewer.autoSpin);
    viewer.followCamera();
    // Toward 10 x 1 degrees of yaw and 10 x 0.30003002 of pitch.
    EXPECT_FLOAT_EQ(viewer.yaw, float(50 + (10.0 - 50) * double(0.1f)));
    EXPECT_FLOAT_EQ(viewer.pitch, float(20 + (10 * double(0.30003002f) - 20) * double(0.1f)));
    viewer.onLeftPress(5, 5);
    EXPECT_FALSE(viewer.autoSpin);
}

// The window keys work alike in every program.
const ViewerSettings& anyRow() { return *programRows.front().settings; }

TEST_F(ViewerTest, F11SavesTheGeometryOnEntryAndRestoresItOnExit) {
    Viewer viewer(anyRow(), window);
    viewer.onSpecialKey(GLUT_KEY_F11, 0, 0);
    EXPECT_TRUE(viewer.fullScreen);
    window.current = {0, 0, 1920, 1080};
    viewer.onSpecialKey(GLUT_KEY_F11, 0, 0);
    EXPECT_FALSE(viewer.fullScreen);
    window.current = {30, 40, 800, 600};
    viewer.onSpecialKey(GLUT_KEY_F11, 0, 0);
    viewer.onSpecialKey(GLUT_KEY_F11, 0, 0);
    const std::vector<std::string> expected = {
        "geometry", "fullScreen", "reshape 640x480", "position 100,100",
        "geometry", "fullScreen", "reshape 800x600", "position 30,40"};
    EXPECT_EQ(window.calls, expected);
}

TEST_F(ViewerTest, OtherSpecialKeysChangeNothing) {
    Viewer viewer(anyRow(), window);
    for (int key : {GLUT_KEY_F1, GLUT_KEY_F10, GLUT_KEY_F12, GLUT_KEY_LEFT}) {
        viewer.onSpecialKey(key, 0, 0);
    }
    EXPECT_FALSE(viewer.fullScreen);
    EXPECT_TRUE(window.calls.empty());
}

// What the space bar and the other keys may change.
struct KeyState {
    bool showAxes;
    std::int32_t displayMode;
    bool operator==(const KeyState& other) const {
        return showAxes == other.showAxes && displayMode == other.displayMode;
    }
};

KeyState stateOf(const Viewer& viewer) { return {viewer.showAxes, viewer.displayMode}; }

// The state after each space press of the programs whose space bar does
// something; in every other program it changes nothing.
const std::map<std::string_view, std::vector<KeyState>> spaceReactions = {
    {"colorspace", {{false, 0}, {true, 0}, {false, 0}}},
    {"tunnel", {{true, 1}, {true, 2}, {true, 0}, {true, 1}, {true, 2}}},
};
const std::vector<KeyState> unchanged(5, KeyState{true, 0});

class SpaceBar : public testing::TestWithParam<ProgramRow> {};

TEST_P(SpaceBar, ReactsPerProgram) {
    RecordingWindow window;
    Viewer viewer(*GetParam().settings, window);
    const auto reaction = spaceReactions.find(GetParam().name);
    for (const KeyState& expected :
         reaction == spaceReactions.end() ? unchanged : reaction->second) {
        viewer.onKey(keySpace, 0, 0);
        EXPECT_EQ(stateOf(viewer), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, SpaceBar, testing::ValuesIn(programRows),
                         [](const testing::TestParamInfo<ProgramRow>& info) {
                             return std::string(info.param.name);
                         });

// A renamed program must not drop out of the table unseen.
TEST(SpaceBarTable, NamesOnlyProgramsOfTheBuild) {
    for (const auto& [name, states] : spaceReactions) EXPECT_NE(rowNamed(name), nullptr) << name;
}

TEST_F(ViewerTest, KeysOtherThanSpaceAndEscapeAreIgnored) {
    for (const ProgramRow& row : programRows) {
        SCOPED_TRACE(row.name);
        Viewer viewer(*row.settings, window);
        for (int key : {0, int('a'), 13, 127, 128, 200, 255}) viewer.onKey(key, 1, 2);
        EXPECT_EQ(stateOf(viewer), (KeyState{true, 0}));
        EXPECT_FALSE(viewer.autoSpin);
    }
}

TEST_F(ViewerTest, EscapeEndsTheProgramWithSuccess) {
    Viewer viewer(tunnelSettings, window);
    EXPECT_EXIT(viewer.onKey(keyEscape, 0, 0), testing::ExitedWithCode(0), "");
}

struct TwistCase {
    const char* name;
    std::int32_t brightness;  // of a uniform frame
    float targetDegrees;
};

std::ostream& operator<<(std::ostream& out, const TwistCase& c) { return out << c.name; }

class Twist : public testing::TestWithParam<TwistCase> {};

TEST_P(Twist, FollowsTheMeanBrightnessDividedByFive) {
    frameWidth = 160;
    frameHeight = 120;
    twistAngle = 0;
    const std::int32_t sum = GetParam().brightness * 160 * 120;
    followTwist(sum);
    const float target = GetParam().targetDegrees;
    EXPECT_FLOAT_EQ(twistAngle, float(target * double(0.01f)));
    float previous = twistAngle;
    for (int pass = 0; pass < 3000; ++pass) {
        followTwist(sum);
        ASSERT_GE(twistAngle, previous);
        ASSERT_LE(twistAngle, target);
        previous = twistAngle;
    }
    EXPECT_NEAR(twistAngle, target, 0.01);
}

INSTANTIATE_TEST_SUITE_P(Frames, Twist,
                         testing::Values(TwistCase{"white", 255, 51}, TwistCase{"grey", 128, 25},
                                         TwistCase{"nearlyBlack", 4, 0}, TwistCase{"fives", 5, 1}),
                         [](const testing::TestParamInfo<TwistCase>& info) {
                             return info.param.name;
                         });

TEST(TwistFallsBack, TowardZeroWhenTheFrameDarkens) {
    frameWidth = 160;
    frameHeight = 120;
    twistAngle = 51;
    followTwist(0);
    EXPECT_FLOAT_EQ(twistAngle, float(51 - 51 * double(0.01f)));
    for (int pass = 0; pass < 3000; ++pass) followTwist(4 * 160 * 120);
    EXPECT_GE(twistAngle, 0);
    EXPECT_LT(twistAngle, 0.01);
}

}  // namespace
