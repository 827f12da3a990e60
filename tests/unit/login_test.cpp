// Keeping the icon at login, and the login-item command.
#include "app/login/login_agent.h"
#include "app/login/login_item_command.h"
#include "tests/unit/fixture.h"

namespace dralmik::testing {
namespace {

const std::string kLegacyPath = "/Users/ada/Library/LaunchAgents/com.dralmik.gateway-app.plist";
const std::string kAgent = "com.dralmik.gateway.app-login.plist";

using LoginAgent = LaunchedApp;

TEST(LegacyAgentDocument, IsTheFixedHeadThePathEscapedAndTheFixedTail) {
    const std::string document = legacyAgentDocument("/A&B <x>/it's \"here\"");
    const size_t headEnd = document.find("<array><string>") + 15;
    const size_t tailStart = document.find("</string><string>--background");
    EXPECT_EQ(headEnd, 277u);
    EXPECT_EQ(document.size() - tailStart, 151u);
    EXPECT_EQ(document.substr(headEnd, tailStart - headEnd), "/A&amp;B &lt;x&gt;/it's \"here\"");
    EXPECT_EQ(std::count(document.begin(), document.end(), '\n'), 11);
    EXPECT_EQ(document.back(), '\n');
    EXPECT_NE(document.find("\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                            "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"),
              std::string::npos);
    EXPECT_NE(document.find("\n  <key>LimitLoadToSessionType</key><string>Aqua</string>\n</dict>\n</plist>\n"),
              std::string::npos);
}

TEST_F(LoginAgent, ServiceManagedRegistersOnlyWhenNotEnabledAndDropsTheLegacyFile) {
    for (AgentStatus status : {AgentStatus::NotRegistered, AgentStatus::Enabled, AgentStatus::RequiresApproval,
                               AgentStatus::NotFound}) {
        TestPlatform fresh;
        fresh.fileContents[kLegacyPath] = "old";
        fresh.agent(kAgent).statusValue = status;
        auto app = std::make_shared<AppDelegate>(fresh);
        fresh.setDelegate(app);
        app->applicationDidFinishLaunching();
        EXPECT_FALSE(fresh.fileContents.contains(kLegacyPath));
        const bool registered =
            std::find(fresh.log.begin(), fresh.log.end(), "agent.register") != fresh.log.end();
        EXPECT_EQ(registered, status != AgentStatus::Enabled) << static_cast<int>(status);
        EXPECT_TRUE(fresh.writes.empty());
    }
}

TEST_F(LoginAgent, RegistrationFailuresAreSilent) {
    platform.agent(kAgent).registerError = "denied";
    launch();
    EXPECT_EQ(platform.launches.size(), 1u);  // the launch went on
}

TEST_F(LoginAgent, OlderSystemsWriteTheLegacyFileOnlyWhenItDiffers) {
    platform.systemMajor = 12;
    launch();
    EXPECT_TRUE(platform.agentRequests.empty());
    EXPECT_EQ(platform.directories, std::vector<std::string>{"/Users/ada/Library/LaunchAgents"});
    EXPECT_EQ(platform.fileContents.at(kLegacyPath), legacyAgentDocument(*platform.executable));

    // A second launch finds the same file and leaves it alone.
    TestPlatform again;
    again.systemMajor = 12;
    again.fileContents = platform.fileContents;
    auto second = std::make_shared<AppDelegate>(again);
    second->applicationDidFinishLaunching();
    EXPECT_TRUE(again.writes.empty());

    // A moved application rewrites it, even when the folder cannot be created.
    TestPlatform moved;
    moved.systemMajor = 11;
    moved.fileContents = platform.fileContents;
    moved.executable = "/Users/ada/Apps/R&D/Dralmik LLM Gateway.app/Contents/MacOS/Dralmik LLM Gateway";
    moved.failDirectories = true;
    auto third = std::make_shared<AppDelegate>(moved);
    third->applicationDidFinishLaunching();
    EXPECT_EQ(moved.writes.size(), 1u);
    EXPECT_NE(moved.fileContents.at(kLegacyPath).find("/R&amp;D/"), std::string::npos);

    // Without an executable path nothing is written.
    TestPlatform nowhere;
    nowhere.systemMajor = 12;
    nowhere.executable.reset();
    auto fourth = std::make_shared<AppDelegate>(nowhere);
    fourth->applicationDidFinishLaunching();
    EXPECT_TRUE(nowhere.writes.empty());
    EXPECT_EQ(nowhere.launches.size(), 1u);
}

TEST_F(LoginAgent, OlderSystemsRemoveTheFileAtTheQuitLink) {
    platform.systemMajor = 11;
    launch();
    ASSERT_TRUE(platform.fileContents.contains(kLegacyPath));
    platform.navigate("dralmik://quit");
    EXPECT_FALSE(platform.fileContents.contains(kLegacyPath));
    EXPECT_TRUE(platform.agentRequests.empty());
    EXPECT_EQ(platform.terminations, 1);
}

TEST(LoginItemCommand, OutcomesOfEachCommand) {
    TestPlatform platform;
    TestAgentService& agent = platform.agent("x.plist");

    agent.statusValue = AgentStatus::RequiresApproval;
    LoginItemOutcome status = runLoginItemCommand(platform.appService(), "status", "x.plist");
    EXPECT_EQ(status.standardOutput, "requiresApproval\n");
    EXPECT_EQ(status.exitStatus, 1);
    EXPECT_FALSE(status.failure);

    LoginItemOutcome registered = runLoginItemCommand(platform.appService(), "register", "x.plist");
    EXPECT_FALSE(registered.failure);
    EXPECT_EQ(registered.exitStatus, 0);
    EXPECT_EQ(registered.standardOutput, "");

    status = runLoginItemCommand(platform.appService(), "status", "x.plist");
    EXPECT_EQ(status.standardOutput, "enabled\n");
    EXPECT_EQ(status.exitStatus, 0);

    agent.unregisterError = "Operation not permitted";
    EXPECT_EQ(runLoginItemCommand(platform.appService(), "unregister", "x.plist").failure,
              "unregister x.plist: Operation not permitted");
    agent.registerError = "";
    EXPECT_EQ(runLoginItemCommand(platform.appService(), "register", "x.plist").failure, "register x.plist: ");
    EXPECT_EQ(runLoginItemCommand(platform.appService(), "Register", "x.plist").failure, "unknown command Register");
    EXPECT_EQ(runLoginItemCommand(platform.appService(), "", "x.plist").failure, "unknown command ");
    // The service is asked for first, whatever the command.
    EXPECT_EQ(platform.agentRequests.back(), "x.plist");
}

TEST(LoginItemCommand, StatusNames) {
    EXPECT_STREQ(loginItemStatusName(AgentStatus::NotRegistered), "notRegistered");
    EXPECT_STREQ(loginItemStatusName(AgentStatus::Enabled), "enabled");
    EXPECT_STREQ(loginItemStatusName(AgentStatus::RequiresApproval), "requiresApproval");
    EXPECT_STREQ(loginItemStatusName(AgentStatus::NotFound), "notFound");
}

}  // namespace
}  // namespace dralmik::testing
