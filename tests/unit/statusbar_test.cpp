// The status item, its icon, the state probe and the menu commands.
#include <algorithm>

#include "app/statusbar/menu_bar_image.h"
#include "app/statusbar/probe.h"
#include "tests/unit/fixture.h"

namespace dralmik::testing {
namespace {

struct StatusMenu : LaunchedApp {
    // A --background start; what the bar says to the delegate, as the backend says it.
    std::shared_ptr<StatusItemDelegate> startHidden() {
        platform.args.push_back("--background");
        launch();
        return platform.statusItems.at(0)->delegate.lock();
    }
};

const std::vector<std::string> kInitialMenu = {
    "(Starting)", "-", "Open Dralmik LLM Gateway", "-", "(Stop and Quit\u2026)", "-",
    "Quit Menu Bar Icon (keeps running)"};

TEST_F(StatusMenu, StartsAsStartingWithItsFixedItemsAndNoShortcuts) {
    launch();
    auto& item = *platform.statusItems.at(0);
    EXPECT_EQ(item.toolTip, "Dralmik LLM Gateway");
    ASSERT_TRUE(item.image.has_value());
    TestMenu& menu = platform.statusMenu();
    EXPECT_FALSE(menu.delegate.expired());
    EXPECT_EQ(menu.describe(), kInitialMenu);
    EXPECT_TRUE(menu.item("Disconnect\u2026").hidden);
    for (const auto& entry : menu.items) EXPECT_EQ(entry->shortcut.key, "");
    EXPECT_EQ(menu.item("Quit Menu Bar Icon (keeps running)").standard, StandardAction::Quit);

    ASSERT_EQ(platform.timerList.size(), 1u);
    EXPECT_EQ(platform.timerList[0]->interval, 2.0);
    EXPECT_TRUE(platform.timerList[0]->repeats);
    EXPECT_TRUE(platform.webView().scripts.empty());  // no refresh before the first tick
}

TEST_F(StatusMenu, TicksBeforeThePageResetTheMenuWithoutAskingThePage) {
    launch();
    platform.statusMenu().item("Starting").setTitle("stale");
    platform.fireTimers();
    EXPECT_TRUE(platform.webView().scripts.empty());
    EXPECT_EQ(platform.statusMenu().describe(), kInitialMenu);
    delegate->menuWillOpen();
    EXPECT_TRUE(platform.webView().scripts.empty());
}

TEST_F(StatusMenu, ProbeAnswersDriveTheThreeItems) {
    launch();
    showGatewayPage();
    TestMenu& menu = platform.statusMenu();
    auto tick = [&](std::optional<std::string> answer) {
        platform.fireTimers();
        ASSERT_EQ(platform.webView().scripts.size(), 1u);
        EXPECT_EQ(platform.webView().scripts.front().text, kPageStateProbe);
        EXPECT_TRUE(platform.webView().scripts.front().apart);  // out of the page scripts' reach
        platform.webView().answerScript(std::move(answer));
    };

    tick(R"({"state":"Connected to relay","disconnect":true,"stop":false})");
    EXPECT_EQ(menu.describe(), (std::vector<std::string>{"(Connected to relay)", "-", "Open Dralmik LLM Gateway", "-",
                                                         "Disconnect\u2026", "(Stop and Quit\u2026)", "-",
                                                         "Quit Menu Bar Icon (keeps running)"}));
    tick(R"({"state":"Running","disconnect":false,"stop":true})");
    EXPECT_EQ(menu.describe()[0], "(Running)");
    EXPECT_TRUE(menu.item("Disconnect\u2026").hidden);
    EXPECT_TRUE(menu.item("Stop and Quit\u2026").enabled);

    // Unreadable answers leave everything as it was.
    for (std::optional<std::string> bad : {std::optional<std::string>{}, std::optional<std::string>{"not json"},
                                           std::optional<std::string>{"[1,2]"}, std::optional<std::string>{"\"x\""}}) {
        tick(bad);
        EXPECT_EQ(menu.describe()[0], "(Running)");
        EXPECT_TRUE(menu.item("Stop and Quit\u2026").enabled);
    }

    // A valid object updates all three together; only real booleans count.
    tick(R"({"state":"","disconnect":1,"stop":"true"})");
    EXPECT_EQ(menu.describe()[0], "(Dralmik LLM Gateway)");
    EXPECT_TRUE(menu.item("Disconnect\u2026").hidden);
    EXPECT_FALSE(menu.item("Stop and Quit\u2026").enabled);
    tick(R"({"state":" "})");
    EXPECT_EQ(menu.describe()[0], "( )");

    // Probes are not serialised, and an answer after the delegate is gone is dropped.
    platform.fireTimers();
    platform.fireTimers();
    EXPECT_EQ(platform.webView().scripts.size(), 2u);
    delegate.reset();
    platform.webView().answerScript(R"({"state":"late"})");
    platform.fireTimers();  // the timer does not keep the delegate alive either
    EXPECT_EQ(platform.webView().scripts.size(), 1u);
}

// How the script reads the page; what it makes of the state text is tested with the menu's own
// label rule (tests/gtk, ProbeState) and in a page (e2e_hostile_page).
TEST(Probe, ScriptAndHookAreExact) {
    const std::string probe = kPageStateProbe;
    EXPECT_EQ(probe.substr(0, 15), "(function () {\n");
    EXPECT_EQ(probe.substr(probe.size() - 5), "\n})()");
    EXPECT_NE(probe.find("\n  function shown(id) { var e = document.getElementById(id); return !!e && e.offsetParent "
                         "!== null; }\n"),
              std::string::npos);
    EXPECT_NE(probe.find("\n  var pill = document.getElementById(\"state\") || document.getElementById(\"running\");\n"),
              std::string::npos);
    EXPECT_NE(probe.find("return JSON.stringify({ state: pill && !pill.hidden ? line(pill.textContent) : \"\", "
                         "disconnect: shown(\"forget\"), stop: shown(\"stop\") });"),
              std::string::npos);
    EXPECT_STREQ(kPageRefreshHook, "window.dralmikRefresh && window.dralmikRefresh()");
}

TEST_F(StatusMenu, OpeningTheMenuAsksThePageToRefreshItself) {
    launch();
    showGatewayPage();
    delegate->menuWillOpen();
    ASSERT_EQ(platform.webView().scripts.size(), 1u);
    EXPECT_EQ(platform.webView().scripts.front().text, kPageRefreshHook);
    EXPECT_FALSE(platform.webView().scripts.front().completion);
}

TEST_F(StatusMenu, CommandsPressThePageButtonsAfterShowingTheWindow) {
    platform.args.push_back("--background");
    launch();
    showGatewayPage();
    platform.window().miniaturized = true;
    platform.statusMenu().item("Disconnect\u2026").hidden = false;
    platform.statusMenu().item("Disconnect\u2026").choose(platform);
    EXPECT_TRUE(platform.window().visible);
    EXPECT_FALSE(platform.window().miniaturized);
    EXPECT_EQ(platform.policies.back(), ActivationPolicy::Regular);
    ASSERT_EQ(platform.webView().scripts.size(), 1u);
    EXPECT_EQ(platform.webView().scripts.back().text,
              "var b = document.getElementById('forget'); if (b) b.click();");

    platform.statusMenu().item("Stop and Quit\u2026").enabled = true;
    platform.statusMenu().item("Stop and Quit\u2026").choose(platform);
    EXPECT_EQ(platform.webView().scripts.back().text, "var b = document.getElementById('stop'); if (b) b.click();");
    EXPECT_EQ(platform.terminations, 0);  // the page decides what happens next

    platform.statusMenu().item("Quit Menu Bar Icon (keeps running)").choose(platform);
    EXPECT_EQ(platform.terminations, 1);
    EXPECT_EQ(platform.task().terminations, 1);
    EXPECT_TRUE(std::find(platform.log.begin(), platform.log.end(), "agent.unregister") == platform.log.end());
}

TEST_F(StatusMenu, AHiddenStartWithNowhereToShowTheItemPostsOneNoticeAfterAGracePeriod) {
    auto item = startHidden();
    ASSERT_TRUE(item);
    item->statusItemCannotBeShown();
    EXPECT_TRUE(platform.notices.empty());  // a panel may still come up with the session
    auto grace = std::find_if(platform.timerList.begin(), platform.timerList.end(),
                              [](const auto& t) { return t->valid && !t->repeats; });
    ASSERT_NE(grace, platform.timerList.end());
    EXPECT_EQ((*grace)->interval, 10.0);

    platform.fireTimers();
    item->statusItemCannotBeShown();  // the bar went away again: still one notice
    platform.fireTimers();
    ASSERT_EQ(platform.notices.size(), 1u);
    EXPECT_EQ(platform.notices[0].title, "Dralmik LLM Gateway");
    EXPECT_FALSE(platform.window().visible);
    platform.notices[0].action();
    EXPECT_TRUE(platform.window().visible);
    EXPECT_EQ(platform.policies.back(), ActivationPolicy::Regular);

    // With nothing to bring it back from, closing the window puts it in the dock; once a bar
    // shows the item, closing hides it again.
    platform.window().close();
    EXPECT_TRUE(platform.window().visible);
    EXPECT_TRUE(platform.window().miniaturized);
    item->statusItemIsShown();
    platform.window().close();
    EXPECT_FALSE(platform.window().visible);
}

TEST_F(StatusMenu, AHiddenStartWhoseBarNeverAnswersStillPostsItsNotice) {
    startHidden();
    platform.fireTimers();
    EXPECT_EQ(platform.notices.size(), 1u);
}

TEST_F(StatusMenu, APanelThatComesLateTakesTheNoticesPlace) {
    auto item = startHidden();
    ASSERT_TRUE(item);
    item->statusItemCannotBeShown();
    item->statusItemIsShown();  // within the grace period
    platform.fireTimers();
    EXPECT_TRUE(platform.notices.empty());
}

TEST_F(StatusMenu, APanelThatComesAfterTheNoticeWithdrawsIt) {
    auto item = startHidden();
    ASSERT_TRUE(item);
    item->statusItemCannotBeShown();
    platform.fireTimers();
    ASSERT_EQ(platform.notices.size(), 1u);
    item->statusItemIsShown();
    item->statusItemIsShown();
    EXPECT_EQ(platform.postedNotices[0]->withdrawals, 1);
    // The panel goes again: the item was seen, no second notice.
    item->statusItemCannotBeShown();
    platform.fireTimers();
    EXPECT_EQ(platform.notices.size(), 1u);
    EXPECT_FALSE(platform.window().visible);
}

TEST_F(StatusMenu, AHiddenStartWhoseNoticeNobodyTakesOpensTheWindow) {
    auto item = startHidden();
    ASSERT_TRUE(item);
    item->statusItemIsShown();
    platform.fireTimers();
    EXPECT_TRUE(platform.notices.empty());
    item->statusItemCannotBeShown();  // the host went away, and does not come back
    platform.fireTimers();
    ASSERT_EQ(platform.notices.size(), 1u);
    EXPECT_FALSE(platform.window().visible);
    platform.notices[0].undelivered();
    EXPECT_TRUE(platform.window().visible);
}

TEST_F(StatusMenu, AWindowOpenedDuringTheGracePeriodNeedsNoNotice) {
    startHidden()->statusItemCannotBeShown();
    delegate->applicationShouldHandleReopen();  // a second copy from the launcher
    platform.fireTimers();
    EXPECT_TRUE(platform.notices.empty());
}

TEST_F(StatusMenu, AStartWithTheWindowPostsNoNoticeAndAMenuThatCannotShowOpensTheWindow) {
    launch();
    auto item = platform.statusItems.at(0)->delegate.lock();
    ASSERT_TRUE(item);
    item->statusItemCannotBeShown();
    platform.fireTimers();
    EXPECT_TRUE(platform.notices.empty());
    platform.window().visible = false;
    platform.window().miniaturized = true;
    item->statusItemCannotShowMenu();
    EXPECT_TRUE(platform.window().visible);
    EXPECT_FALSE(platform.window().miniaturized);
}

TEST(MenuBarImage, IsTheFixedTemplateDrawing) {
    Image image = menuBarImage();
    EXPECT_EQ(image.size, (Size{22, 17}));
    EXPECT_FALSE(image.flipped);
    EXPECT_TRUE(image.isTemplate);
    using K = DrawOp::Kind;
    std::vector<K> kinds;
    for (const auto& op : image.ops) kinds.push_back(op.kind);
    EXPECT_EQ(kinds, (std::vector<K>{K::SetStrokeColor, K::StrokePath, K::StrokeRoundedRect, K::StrokePath,
                                     K::StrokePath, K::StrokeOval, K::SetFillColor, K::FillOval}));
    for (int i : {1, 2, 3, 4, 5}) {
        EXPECT_EQ(image.ops[i].lineWidth, 1.3);
        EXPECT_EQ(image.ops[i].lineCap, LineCap::Round);
    }
    EXPECT_EQ(image.ops[0].color, (Color{0, 0, 0, 1}));
    EXPECT_EQ(image.ops[2].rect, (Rect{{3.2, 4.2}, {17.6, 10.2}}));
    EXPECT_EQ(image.ops[2].radiusX, 1.8);
    EXPECT_EQ(image.ops[4].path.size(), 4u);
    EXPECT_EQ(image.ops[4].path[2], (PathElement{PathElement::Kind::MoveTo, {6.0, 10.7}}));
    EXPECT_EQ(image.ops[5].rect, (Rect{{11.7, 5.7}, {7.2, 7.2}}));
    EXPECT_EQ(image.ops[7].rect, (Rect{{14.1, 8.1}, {2.4, 2.4}}));
}

}  // namespace
}  // namespace dralmik::testing
