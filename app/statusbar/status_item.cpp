// The status item, its menu and the timer that keeps the menu current.
#include "app/shell/app_delegate.h"
#include "app/statusbar/menu_bar_image.h"

namespace dralmik {

namespace {

constexpr double kStateTimerInterval = 2.0;

}  // namespace

void AppDelegate::buildStatusItem() {
    MenuFactory& menus = platform_.menus();
    statusItem = platform_.statusBar().makeStatusItem();
    statusItem->setImage(menuBarImage());
    statusItem->setToolTip("Dralmik LLM Gateway");
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

// A bar that activates the item rather than opening its menu gets the menu's first command.
void AppDelegate::statusItemWasActivated() { showWindow(); }

// A start at login shows no window: with no status area either, nothing would say that the
// gateway runs, so one notice says so and opens the window when clicked; where no notice can be
// shown, the window opens. A start that shows the window needs none.
void AppDelegate::statusItemCannotBeShown() {
    statusItemShown_ = false;
    if (!startedAtLogin || hiddenStartNoticed_) return;
    hiddenStartNoticed_ = true;
    platform_.notifications().post({"Dralmik LLM Gateway", "The gateway is running in the background. Click to open it.",
                                    action(&AppDelegate::showWindow), action(&AppDelegate::showWindow)});
}

void AppDelegate::statusItemIsShown() { statusItemShown_ = true; }

}  // namespace dralmik
