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

TEST_F(Launch, StartsTheGatewayFirstAndShowsItsStartLast) {
    launch();
    const Log& log = platform.log;
    const std::vector<std::string> order = {
        "launch", "app.setMainMenu", "makeWebView", "makeWindow", "webView.setUnderPageBackgroundColor",
        "window.setContentView", "window.setDelegate", "window.setFrame", "window.center", "window.makeKeyAndOrderFront",
        "app.activate", "statusItem", "timer", "agent.status", "webView.loadHTMLString"};
    EXPECT_EQ(std::count(log.begin(), log.end(), "launch"), 1);  // the launch sequence took the child over
    size_t previous = 0;
    for (const auto& entry : order) {
        size_t at = indexOf(log, entry);
        EXPECT_GE(at, previous) << entry << " came too early";
        previous = at;
    }

    EXPECT_EQ(platform.lastConfiguration.applicationNameForUserAgent, "DralmikLLMGatewayApp");
    EXPECT_FALSE(platform.lastConfiguration.allowsBackForwardNavigationGestures);

    TestWindow& window = platform.window();
    const WindowDescription& description = window.description;
    const Color dark{11.0 / 255, 18.0 / 255, 34.0 / 255, 1.0};
    EXPECT_EQ(description.title, "Dralmik LLM Gateway");
    EXPECT_EQ(description.contentSize, (Size{760, 640}));
    EXPECT_EQ(description.minimumSize, (Size{437.5, 480}));
    EXPECT_EQ(description.backgroundColor, dark);
    EXPECT_EQ(description.appearance, Appearance::Dark);
    EXPECT_EQ(description.frameAutosaveName, "DralmikGatewayWindow");
    EXPECT_EQ(platform.webView().underPageColor, dark);
    EXPECT_EQ(window.content, platform.webViews[0]);
    EXPECT_TRUE(window.visible);
    EXPECT_EQ(window.frame(), (Rect{{340, 130}, {760, 640}}));  // centred on the test screen
    EXPECT_EQ(platform.policies, std::vector<ActivationPolicy>{});  // main sets regular, not the delegate
}

TEST_F(Launch, BelowTwelveKeepsTheDefaultUnderPageColour) {
    platform.systemMajor = 11;
    launch();
    EXPECT_FALSE(platform.webView().underPageColor.has_value());
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
    delegate->applicationShouldHandleReopen();
    EXPECT_EQ(platform.policies.back(), ActivationPolicy::Regular);
    EXPECT_FALSE(platform.window().miniaturized);
    EXPECT_TRUE(platform.window().visible);
    EXPECT_EQ(platform.webView().loads.size(), loadsBefore);  // nothing reloaded

    const Log& log = platform.log;
    EXPECT_LT(indexOf(log, "window.deminiaturize"), log.size() - 2);
    EXPECT_EQ(log[log.size() - 2], "window.makeKeyAndOrderFront");
    EXPECT_EQ(log.back(), "app.activate");
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
        titles.push_back(holder->submenu->title);
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"", "Edit", "View", "Window"}));
    EXPECT_EQ(platform.windowsMenu, main.items[3]->submenu);

    auto menu = [&](int i) { return main.items[i]->submenu; };
    EXPECT_EQ(menu(0)->describe(),
              (std::vector<std::string>{"About Dralmik LLM Gateway", "-", "Hide Dralmik LLM Gateway", "Hide Others",
                                        "Show All", "-", "Quit Dralmik LLM Gateway"}));
    EXPECT_EQ(menu(1)->describe(),
              (std::vector<std::string>{"Undo", "Redo", "-", "Cut", "Copy", "Paste", "Select All"}));
    EXPECT_EQ(menu(0)->item("Hide Others").shortcut.modifiers, kModifierOption | kModifierCommand);
    EXPECT_EQ(menu(0)->item("Hide Others").shortcut.key, "h");
    EXPECT_EQ(menu(1)->item("Redo").shortcut.modifiers, kModifierShift | kModifierCommand);
    EXPECT_EQ(menu(1)->item("Undo").shortcut.modifiers, kModifierCommand);
    EXPECT_EQ(menu(0)->item("About Dralmik LLM Gateway").shortcut.key, "");
    EXPECT_EQ(menu(3)->item("Close").standard, StandardAction::Close);
    EXPECT_EQ(menu(3)->item("Close").shortcut.key, "w");

    // Only Reload is the delegate's own: while the gateway starts it starts it again.
    for (int i : {0, 1, 3}) {
        for (const auto& item : menu(i)->items) EXPECT_TRUE(item->isSeparator || item->standard) << item->title_;
    }
    TestMenuItem& reload = menu(2)->item("Reload");
    EXPECT_EQ(reload.shortcut.key, "r");
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
