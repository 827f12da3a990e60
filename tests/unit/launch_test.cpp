// The launch sequence, the window and the lifecycle between foreground and menu-bar only.
#include <algorithm>

#include "tests/unit/fixture.h"

namespace dralmik::testing {
namespace {

using Launch = LaunchedApp;

size_t indexOf(const Log& log, const std::string& entry) {
    auto found = std::find(log.begin(), log.end(), entry);
    EXPECT_NE(found, log.end()) << entry;
    return found - log.begin();
}

TEST_F(Launch, BuildsEverythingInOrderAndStartsTheGatewayLast) {
    launch();
    const Log& log = platform.log;
    const std::vector<std::string> order = {
        "app.setMainMenu", "app.setWindowsMenu", "makeWebView", "makeWindow",
        "window.setTitle Dralmik LLM Gateway", "window.setBackgroundColor", "window.setTitlebarAppearsTransparent",
        "window.setDarkAppearance", "webView.setUnderPageBackgroundColor", "window.setContentView",
        "window.setReleasedWhenClosed", "window.setDelegate", "window.setFrame", "window.center",
        "window.setFrameAutosaveName DralmikGatewayWindow", "window.setMinSize", "window.makeKeyAndOrderFront",
        "app.activate", "statusItem", "timer", "agent.status", "webView.loadHTMLString", "launch"};
    size_t previous = 0;
    for (const auto& entry : order) {
        size_t at = indexOf(log, entry);
        EXPECT_GE(at, previous) << entry << " came too early";
        previous = at;
    }

    EXPECT_EQ(platform.lastConfiguration.applicationNameForUserAgent, "DralmikLLMGatewayApp");
    ASSERT_EQ(platform.windowCreations.size(), 1u);
    const auto& creation = platform.windowCreations[0];
    EXPECT_EQ(creation.contentRect, (Rect{{0, 0}, {760, 640}}));
    EXPECT_EQ(creation.styleMask, 15u);
    EXPECT_EQ(creation.backing, BackingStore::Buffered);
    EXPECT_FALSE(creation.defer);

    TestWindow& window = platform.window();
    const Color dark{11.0 / 255, 18.0 / 255, 34.0 / 255, 1.0};
    EXPECT_EQ(window.background, dark);
    EXPECT_EQ(platform.webView().underPageColor, dark);
    EXPECT_FALSE(platform.webView().gestures);
    EXPECT_FALSE(window.releasedWhenClosed);
    EXPECT_EQ(window.content, platform.webViews[0]);
    EXPECT_EQ(window.minSize, (Size{437.5, 480}));
    EXPECT_TRUE(window.visible);
    EXPECT_EQ(window.frame(), (Rect{{340, 130}, {760, 640}}));  // centred on the test screen
    EXPECT_EQ(platform.policies, std::vector<ActivationPolicy>{});  // main sets regular, not the delegate
}

TEST_F(Launch, BelowTwelveKeepsTheDefaultUnderPageColour) {
    platform.systemMajor = 11;
    launch();
    EXPECT_FALSE(platform.webView().underPageColor.has_value());
    EXPECT_EQ(platform.window().title, "Dralmik LLM Gateway");
}

TEST_F(Launch, RestoredFrameKeepsItsTopLeftCornerAtTheLaunchSize) {
    platform.savedFrames["DralmikGatewayWindow"] = Rect{{100, 200}, {500, 900}};  // top edge at 1100
    launch();
    EXPECT_EQ(platform.window().frame(), (Rect{{100, 460}, {760, 640}}));
    EXPECT_EQ(platform.savedFrames["DralmikGatewayWindow"], (Rect{{100, 460}, {760, 640}}));
}

TEST_F(Launch, AtLoginStaysInTheMenuBarButStartsTheGateway) {
    platform.args.push_back("--background");
    launch();
    EXPECT_FALSE(platform.window().visible);
    EXPECT_EQ(platform.activations, 0);
    EXPECT_EQ(platform.policies, std::vector<ActivationPolicy>{ActivationPolicy::Accessory});
    EXPECT_EQ(platform.launches.size(), 1u);
    EXPECT_EQ(platform.statusItems.size(), 1u);

    // Opening from the status menu shows the page that was loaded meanwhile.
    showGatewayPage();
    platform.statusMenu().item("Open Dralmik LLM Gateway").choose(platform);
    EXPECT_TRUE(platform.window().visible);
    EXPECT_EQ(platform.policies.back(), ActivationPolicy::Regular);
    EXPECT_EQ(platform.webView().loads.back(), "http://localhost:4321/");
}

TEST_F(Launch, ClosingGoesToTheMenuBarAndReopeningRestoresTheWindow) {
    launch();
    EXPECT_FALSE(delegate->applicationShouldTerminateAfterLastWindowClosed());
    platform.window().close();
    EXPECT_EQ(platform.policies.back(), ActivationPolicy::Accessory);

    platform.window().miniaturized = true;
    const size_t loadsBefore = platform.webView().loads.size();
    EXPECT_TRUE(delegate->applicationShouldHandleReopen(false));
    EXPECT_EQ(platform.policies.back(), ActivationPolicy::Regular);
    EXPECT_FALSE(platform.window().miniaturized);
    EXPECT_TRUE(platform.window().visible);
    EXPECT_EQ(platform.webView().loads.size(), loadsBefore);  // nothing reloaded

    const Log& log = platform.log;
    EXPECT_LT(indexOf(log, "window.deminiaturize"), log.size() - 2);
    EXPECT_EQ(log[log.size() - 2], "window.makeKeyAndOrderFront");
    EXPECT_EQ(log.back(), "app.activate");
    EXPECT_TRUE(delegate->applicationShouldHandleReopen(true));  // visible or not, the same answer
}

TEST_F(Launch, TerminationStopsOnlyAStillRunningChild) {
    launch();
    platform.terminate();
    EXPECT_EQ(platform.task().terminations, 1);

    TestPlatform quiet;
    auto other = std::make_shared<AppDelegate>(quiet);
    quiet.setDelegate(other);
    other->applicationDidFinishLaunching();
    quiet.task().write("bye\n");
    quiet.task().exit(0);
    quiet.terminate();
    EXPECT_EQ(quiet.task().terminations, 0);
}

TEST_F(Launch, MainMenuHasTheFourMenusWithTheirShortcuts) {
    launch();
    TestMenu& main = *platform.mainMenu;
    ASSERT_EQ(main.items.size(), 4u);
    std::vector<std::string> titles;
    for (const auto& holder : main.items) {
        EXPECT_EQ(holder->title_, "");
        titles.push_back(std::static_pointer_cast<TestMenu>(holder->submenu)->title);
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"", "Edit", "View", "Window"}));
    EXPECT_EQ(platform.windowsMenu, main.items[3]->submenu);

    auto menu = [&](int i) { return std::static_pointer_cast<TestMenu>(main.items[i]->submenu); };
    EXPECT_EQ(menu(0)->describe(),
              (std::vector<std::string>{"About Dralmik LLM Gateway", "-", "Hide Dralmik LLM Gateway", "Hide Others",
                                        "Show All", "-", "Quit Dralmik LLM Gateway"}));
    EXPECT_EQ(menu(1)->describe(),
              (std::vector<std::string>{"Undo", "Redo", "-", "Cut", "Copy", "Paste", "Select All"}));
    EXPECT_EQ(menu(0)->item("Hide Others").modifierMask, 0x180000u);
    EXPECT_EQ(menu(0)->item("Hide Others").keyEquivalent, "h");
    EXPECT_EQ(menu(1)->item("Redo").modifierMask, 0x120000u);
    EXPECT_EQ(menu(1)->item("Undo").modifierMask, 0x100000u);
    EXPECT_EQ(menu(0)->item("About Dralmik LLM Gateway").keyEquivalent, "");
    EXPECT_EQ(menu(3)->item("Close").action, Selector::PerformClose);
    EXPECT_EQ(menu(3)->item("Close").keyEquivalent, "w");

    // Only Reload has a target, the delegate: while the gateway starts it starts it again.
    for (int i : {0, 1, 3}) {
        for (const auto& item : menu(i)->items) EXPECT_TRUE(item->target.expired()) << item->title_;
    }
    TestMenuItem& reload = menu(2)->item("Reload");
    EXPECT_EQ(reload.keyEquivalent, "r");
    reload.choose(platform);
    EXPECT_EQ(platform.launches.size(), 2u);
    showGatewayPage();
    reload.choose(platform);
    EXPECT_EQ(platform.webView().reloads, 1);
    EXPECT_EQ(platform.launches.size(), 2u);

    menu(0)->item("Quit Dralmik LLM Gateway").choose(platform);
    EXPECT_EQ(platform.terminations, 1);
}

}  // namespace
}  // namespace dralmik::testing
