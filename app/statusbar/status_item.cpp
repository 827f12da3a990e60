// The status item, its menu and the timer that keeps the menu current.
#include "app/shell/app_delegate.h"
#include "app/statusbar/menu_bar_image.h"

#include <utility>

namespace dralmik {

namespace {

constexpr double kStateTimerInterval = 2.0;
// How long a hidden start waits for a status area to show its item before it posts its notice.
constexpr double kNoticeGracePeriod = 10.0;

}  // namespace

void AppDelegate::buildStatusItem() {
    MenuFactory& menus = platform_.menus();
    statusItem = platform_.statusBar().makeStatusItem();
    statusItem->setImage(menuBarImage());
    statusItem->setToolTip("Dralmik LLM Gateway");
    // Until a status area says it shows the item, a hidden start waits for one.
    if (startedAtLogin) waitBeforeNotice();
    statusItem->setDelegate(weak_from_this());

    auto menu = menus.makeMenu("");
    stateLine = menus.makeItem("Starting", nullptr);
    stateLine->setEnabled(false);
    menu->addItem(stateLine);
    menu->addSeparator();

    menu->addItem(menus.makeItem("Open Dralmik LLM Gateway", action(&AppDelegate::showWindow)));
    menu->addSeparator();

    disconnectItem = menus.makeItem("Disconnect\u2026", action(&AppDelegate::disconnect));
    disconnectItem->setHidden(true);
    menu->addItem(disconnectItem);

    stopItem = menus.makeItem("Stop and Quit\u2026", action(&AppDelegate::stopAndQuit));
    stopItem->setEnabled(false);
    menu->addItem(stopItem);

    menu->addSeparator();
    menu->addItem(menus.makeStandardItem("Quit Menu Bar Icon (keeps running)", StandardAction::Quit));

    menu->setDelegate(weak_from_this());
    statusItem->setMenu(menu);

    std::weak_ptr<AppDelegate> weakSelf = weak_from_this();
    stateTimer = platform_.timers().scheduledTimer(kStateTimerInterval, true, [weakSelf] {
        if (auto self = weakSelf.lock()) self->refreshMenu();
    });
}

// A bar that asks for the menu where the item cannot place one (on Wayland) gets the window,
// where the page has the same commands.
void AppDelegate::statusItemCannotShowMenu() { showWindow(); }

// A start at login shows no window: with no status area either, nothing would say that the
// gateway runs, so one notice says so and opens the window when clicked; where no notice can be
// shown, the window opens. A panel that comes up with the session may come after the
// application, so the notice waits a grace period for one first, and is withdrawn when a
// status area shows the item after all. A start that shows the window needs none.
void AppDelegate::statusItemCannotBeShown() {
    statusItemShown_ = false;
    if (startedAtLogin) waitBeforeNotice();
}

void AppDelegate::statusItemIsShown() {
    statusItemShown_ = true;
    if (noticeTimer_) std::exchange(noticeTimer_, nullptr)->invalidate();
    if (hiddenStartNotice_) std::exchange(hiddenStartNotice_, nullptr)->withdraw();
}

void AppDelegate::waitBeforeNotice() {
    if (hiddenStartSettled_ || noticeTimer_) return;
    std::weak_ptr<AppDelegate> weakSelf = weak_from_this();
    noticeTimer_ = platform_.timers().scheduledTimer(kNoticeGracePeriod, false, [weakSelf] {
        if (auto self = weakSelf.lock()) self->noticeGraceEnded();
    });
}

void AppDelegate::noticeGraceEnded() {
    noticeTimer_ = nullptr;
    if (hiddenStartSettled_ || statusItemShown_.value_or(false)) return;
    hiddenStartSettled_ = true;
    hiddenStartNotice_ =
        platform_.notifications().post({"Dralmik LLM Gateway", "The gateway is running in the background. Click to open it.",
                                        action(&AppDelegate::showWindow), action(&AppDelegate::showWindow)});
}

}  // namespace dralmik
