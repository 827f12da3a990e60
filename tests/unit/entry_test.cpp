// The three paths of the process entry.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/shell/entry.h"
#include "tests/support/test_platform.h"

namespace dralmik::testing {
namespace {

const std::string kExe = "/Applications/Dralmik LLM Gateway.app/Contents/MacOS/Dralmik LLM Gateway";

TEST(Entry, LoginItemCommandNeedsExactlyFourArgumentsWithTheOptionSecond) {
    for (auto args : std::vector<std::vector<std::string>>{
             {kExe, "--login-item", "status"},
             {kExe, "--login-item", "status", "x.plist", "extra"},
             {kExe, "status", "--login-item", "x.plist"},
             {kExe, "status", "x.plist", "--login-item"},
             {kExe, "--Login-Item", "status", "x.plist"}}) {
        TestPlatform platform;
        platform.args = args;
        EXPECT_EQ(applicationMain(platform), 0);
        EXPECT_EQ(platform.runs, 1) << args.size();
        EXPECT_TRUE(platform.agentRequests.empty() ||
                    platform.agentRequests.front() == "com.dralmik.gateway.app-login.plist");
    }
}

TEST(EntryDeathTest, LoginItemCommandBelowThirteenFailsWhateverTheCommand) {
    TestPlatform platform;
    platform.systemMajor = 12;
    platform.systemMinor = 7;
    platform.args = {kExe, "--login-item", "bogus", "x.plist"};
    EXPECT_EXIT(applicationMain(platform), ::testing::ExitedWithCode(1), "^login items need macOS 13 or later\n$");
}

TEST(EntryDeathTest, LoginItemCommandEndsTheProcessWithItsOutcome) {
    TestPlatform platform;
    platform.args = {kExe, "--login-item", "register", "agent.plist"};
    platform.agent("agent.plist").registerError = "Operation not permitted";
    EXPECT_EXIT(applicationMain(platform), ::testing::ExitedWithCode(1),
                "^register agent.plist: Operation not permitted\n$");

    platform.args = {kExe, "--login-item", "status", "agent.plist"};
    platform.agent("agent.plist").statusValue = AgentStatus::Enabled;
    EXPECT_EXIT(applicationMain(platform), ::testing::ExitedWithCode(0), "");
    platform.agent("agent.plist").statusValue = AgentStatus::RequiresApproval;
    EXPECT_EXIT(applicationMain(platform), ::testing::ExitedWithCode(1), "");
}

TEST(Entry, HelpAndVersionPrintAndTouchNothing) {
    for (const char* option : {"--help", "--version"}) {
        TestPlatform platform;
        platform.anotherCopyRuns = true;
        platform.args = {kExe, option};
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(applicationMain(platform), 0);
        const std::string out = ::testing::internal::GetCapturedStdout();
        EXPECT_NE(out.find(option == std::string("--help") ? "--background" : "Dralmik LLM Gateway 0."), std::string::npos);
        EXPECT_TRUE(platform.claims.empty() && platform.launches.empty() && platform.agentRequests.empty());
        EXPECT_EQ(platform.reopens + platform.runs, 0);
    }
    // Only alone: anything else is an ordinary start.
    TestPlatform platform;
    platform.args = {kExe, "--help", "x"};
    EXPECT_EQ(applicationMain(platform), 0);
    EXPECT_EQ(platform.runs, 1);
}

TEST(Entry, SecondCopyAsksTheRunningOneToReopenAndExits) {
    TestPlatform platform;
    platform.anotherCopyRuns = true;
    EXPECT_EQ(applicationMain(platform), 0);
    EXPECT_EQ(platform.claims, std::vector<std::string>{"com.dralmik.gateway.app"});
    EXPECT_EQ(platform.reopens, 1);
    EXPECT_EQ(platform.runs, 0);
    EXPECT_TRUE(platform.webViews.empty());
    EXPECT_TRUE(platform.launches.empty());
}

TEST(Entry, ThePrimaryStartsItsGatewayBeforeTheUserInterfaceAndStopsItWhenThereIsNone) {
    TestPlatform platform;
    EXPECT_EQ(applicationMain(platform), 0);
    const Log& log = platform.log;
    auto at = [&](const std::string& entry) { return std::find(log.begin(), log.end(), entry) - log.begin(); };
    EXPECT_LT(at("claimPrimary com.dralmik.gateway.app"), at("launch"));
    EXPECT_LT(at("launch"), at("bringUpUserInterface"));
    EXPECT_LT(at("bringUpUserInterface"), at("app.run"));

    TestPlatform headless;
    headless.hasDisplay = false;
    EXPECT_EQ(applicationMain(headless), 1);
    EXPECT_EQ(headless.runs, 0);
    ASSERT_EQ(headless.tasks.size(), 1u);
    EXPECT_EQ(headless.task().terminations, 1);
}

TEST(Entry, BackgroundSecondCopyLeavesTheRunningOneAlone) {
    TestPlatform platform;
    platform.anotherCopyRuns = true;
    platform.args = {kExe, "--background"};
    EXPECT_EQ(applicationMain(platform), 0);
    EXPECT_EQ(platform.reopens, 0);
    EXPECT_EQ(platform.runs, 0);

    // Only the whole element counts.
    for (const char* near : {"--background=1", "--Background", "-background"}) {
        TestPlatform other;
        other.anotherCopyRuns = true;
        other.args = {kExe, near};
        EXPECT_EQ(applicationMain(other), 0);
        EXPECT_EQ(other.reopens, 1) << near;
    }
}

TEST(Entry, StartsTheApplicationWhenNoOtherCopyRuns) {
    for (bool withIdentifier : {true, false}) {
        TestPlatform platform;
        if (!withIdentifier) platform.identifier.reset();
        EXPECT_EQ(applicationMain(platform), 0);
        EXPECT_EQ(platform.runs, 1);
        EXPECT_EQ(platform.reopens, 0);
        EXPECT_EQ(platform.policies.front(), ActivationPolicy::Regular);
        EXPECT_EQ(platform.launches.size(), 1u);
        EXPECT_EQ(platform.claims.size(), withIdentifier ? 1u : 0u);
    }
}

}  // namespace
}  // namespace dralmik::testing
