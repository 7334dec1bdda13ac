#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <string>

#include "agent_test_support.h"
#include "x_window_probe.h"

namespace {

using ::testing::HasSubstr;

constexpr double startSeconds = 20;

class AgentDisplayTest : public ::testing::Test {
   protected:
    void SetUp() override {
        if (!x.connected()) GTEST_SKIP() << "needs an X display in DISPLAY";
        ASSERT_FALSE(x.agentShown()) << "another agent is already running on this display";
    }

    bool agentShown() { return x.agentShown(); }

    XWindowProbe x;
    TempDir runtime;
};

TEST_F(AgentDisplayTest, UnmappedWindowIsFoundByTitleOnlyWhileTheAgentRuns) {
    Agent agent({"--source", "black"}, runtime.path(), true);
    ASSERT_TRUE(eventually(startSeconds, [&] { return agentShown(); })) << agent.errorOutput();

    const AgentWindow window = x.describeAgentWindow();
    EXPECT_TRUE(window.found);
    EXPECT_FALSE(window.mapped);
    EXPECT_EQ(window.netWmNameType, "UTF8_STRING");

    EXPECT_TRUE(agent.stop(SIGTERM));
    EXPECT_EQ(agent.exitStatus(), 0) << agent.errorOutput();
    EXPECT_EQ(agent.errorOutput(), "");
    EXPECT_TRUE(eventually(startSeconds, [&] { return !agentShown(); }));
}

TEST_F(AgentDisplayTest, AgentWithItsOwnDirectoryStillSeesTheWindow) {
    Agent first({"--source", "black"}, runtime.path(), true);
    ASSERT_TRUE(eventually(startSeconds, [&] { return agentShown(); })) << first.errorOutput();

    TempDir otherRuntime;
    Agent bare({}, otherRuntime.path(), true);
    ASSERT_TRUE(bare.waitExit(startSeconds));
    EXPECT_EQ(bare.exitStatus(), 0);
    EXPECT_EQ(bare.errorOutput() + bare.standardOutput(), "");

    Agent named({"--source", "red"}, otherRuntime.path(), true);
    ASSERT_TRUE(named.waitExit(startSeconds));
    EXPECT_EQ(named.exitStatus(), 3);
    EXPECT_THAT(named.errorOutput(), HasSubstr("already running"));

    EXPECT_TRUE(otherRuntime.entries().empty());
    EXPECT_TRUE(first.stop(SIGTERM));
}

}  // namespace
