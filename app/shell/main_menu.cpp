#include "app/shell/main_menu.h"

namespace dralmik {

void installMainMenu(MenuFactory& menus, Application& application, std::weak_ptr<ActionTarget> reloadTarget) {
    auto mainMenu = menus.makeMenu("");

    auto appMenu = menus.makeMenu("");
    appMenu->addItem("About Dralmik LLM Gateway", Selector::OrderFrontStandardAboutPanel, "");
    appMenu->addSeparator();
    appMenu->addItem("Hide Dralmik LLM Gateway", Selector::Hide, "h");
    auto hideOthers = appMenu->addItem("Hide Others", Selector::HideOtherApplications, "h");
    appMenu->addItem("Show All", Selector::UnhideAllApplications, "");
    appMenu->addSeparator();
    appMenu->addItem("Quit Dralmik LLM Gateway", Selector::Terminate, "q");
    hideOthers->setKeyEquivalentModifierMask(kModifierOption | kModifierCommand);

    auto editMenu = menus.makeMenu("Edit");
    editMenu->addItem("Undo", Selector::Undo, "z");
    auto redo = editMenu->addItem("Redo", Selector::Redo, "z");
    redo->setKeyEquivalentModifierMask(kModifierShift | kModifierCommand);
    editMenu->addSeparator();
    editMenu->addItem("Cut", Selector::Cut, "x");
    editMenu->addItem("Copy", Selector::Copy, "c");
    editMenu->addItem("Paste", Selector::Paste, "v");
    editMenu->addItem("Select All", Selector::SelectAll, "a");

    auto viewMenu = menus.makeMenu("View");
    viewMenu->addItem("Reload", Selector::ReloadPage, "r")->setTarget(std::move(reloadTarget));

    auto windowMenu = menus.makeMenu("Window");
    windowMenu->addItem("Minimize", Selector::PerformMiniaturize, "m");
    windowMenu->addItem("Close", Selector::PerformClose, "w");

    for (const auto& submenu : {appMenu, editMenu, viewMenu, windowMenu}) {
        auto holder = menus.makeMenuItem("", Selector::None, "");
        holder->setSubmenu(submenu);
        mainMenu->addItem(holder);
    }

    application.setMainMenu(mainMenu);
    application.setWindowsMenu(windowMenu);
}

}  // namespace dralmik
