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

    auto menu = menus.makeMenu("");
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

}  // namespace dralmik
