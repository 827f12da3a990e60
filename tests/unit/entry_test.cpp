// The three paths of the process entry.
#include <gtest/gtest.h>

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
    platform.agent("agent.plist").statusValue = 1;
    EXPECT_EXIT(applicationMain(platform), ::testing::ExitedWithCode(0), "");
    platform.agent("agent.plist").statusValue = 2;
    EXPECT_EXIT(applicationMain(platform), ::testing::ExitedWithCode(1), "");
}

TEST(Entry, HandOffSkipsItselfAndTerminatedCopiesAndStopsAtTheFirstOther) {
    TestPlatform platform;
    platform.running = {{77, true}, {platform.pid, false}, {88, false}, {99, false}};
    EXPECT_EQ(applicationMain(platform), 0);
    EXPECT_EQ(platform.runs, 0);
    ASSERT_EQ(platform.reopens.size(), 1u);
    const ReopenEvent& event = platform.reopens[0].event;
    EXPECT_EQ(platform.reopens[0].pid, 88);
    EXPECT_EQ(event.eventClass, 0x61657674u);
    EXPECT_EQ(event.eventId, 0x72617070u);
    EXPECT_EQ(event.returnId, -1);
    EXPECT_EQ(event.transactionId, 0);
    EXPECT_EQ(event.sendOptions, 1);
    EXPECT_EQ(event.timeoutSeconds, 5.0);
    ASSERT_EQ(platform.activatedCopies.size(), 1u);
    EXPECT_EQ(platform.activatedCopies[0], std::make_pair(88, 2u));
    EXPECT_EQ(platform.log.back(), "activate 88");  // after the reopen event
    EXPECT_TRUE(platform.webViews.empty());
}

TEST(Entry, BackgroundSecondCopyLeavesTheRunningOneAlone) {
    TestPlatform platform;
    platform.running = {{88, false}};
    platform.args = {kExe, "--background"};
    EXPECT_EQ(applicationMain(platform), 0);
    EXPECT_TRUE(platform.reopens.empty());
    EXPECT_TRUE(platform.activatedCopies.empty());
    EXPECT_EQ(platform.runs, 0);

    // Only the whole element counts.
    for (const char* near : {"--background=1", "--Background", "-background"}) {
        TestPlatform other;
        other.running = {{88, false}};
        other.args = {kExe, near};
        EXPECT_EQ(applicationMain(other), 0);
        EXPECT_EQ(other.reopens.size(), 1u) << near;
    }
}

TEST(Entry, StartsTheApplicationWhenNoOtherCopyRuns) {
    for (bool withIdentifier : {true, false}) {
        TestPlatform platform;
        platform.running = {{platform.pid, false}, {31, true}};
        if (!withIdentifier) platform.identifier.reset();
        EXPECT_EQ(applicationMain(platform), 0);
        EXPECT_EQ(platform.runs, 1);
        EXPECT_EQ(platform.policies.front(), ActivationPolicy::Regular);
        EXPECT_EQ(platform.launches.size(), 1u);
        const bool asked = platform.log.front().rfind("runningApplications", 0) == 0;
        EXPECT_EQ(asked, withIdentifier);
    }
}

}  // namespace
}  // namespace dralmik::testing
