#include "app/shell/main_menu.h"

namespace dralmik {

void installMainMenu(MenuFactory& menus, Application& application, std::function<void()> reload) {
    auto add = [&menus](Menu& menu, const char* title, StandardAction action, Shortcut shortcut = {}) {
        menu.addItem(menus.makeStandardItem(title, action, std::move(shortcut)));
    };

    auto appMenu = menus.makeMenu("");
    add(*appMenu, "About Dralmik LLM Gateway", StandardAction::About);
    appMenu->addSeparator();
    add(*appMenu, "Hide Dralmik LLM Gateway", StandardAction::Hide, {"h"});
    add(*appMenu, "Hide Others", StandardAction::HideOthers, {"h", kModifierOption | kModifierCommand});
    add(*appMenu, "Show All", StandardAction::ShowAll);
    appMenu->addSeparator();
    add(*appMenu, "Quit Dralmik LLM Gateway", StandardAction::Quit, {"q"});

    auto editMenu = menus.makeMenu("Edit");
    add(*editMenu, "Undo", StandardAction::Undo, {"z"});
    add(*editMenu, "Redo", StandardAction::Redo, {"z", kModifierShift | kModifierCommand});
    editMenu->addSeparator();
    add(*editMenu, "Cut", StandardAction::Cut, {"x"});
    add(*editMenu, "Copy", StandardAction::Copy, {"c"});
    add(*editMenu, "Paste", StandardAction::Paste, {"v"});
    add(*editMenu, "Select All", StandardAction::SelectAll, {"a"});

    auto viewMenu = menus.makeMenu("View");
    viewMenu->addItem(menus.makeItem("Reload", std::move(reload), {"r"}));

    auto windowMenu = menus.makeMenu("Window");
    add(*windowMenu, "Minimize", StandardAction::Minimize, {"m"});
    add(*windowMenu, "Close", StandardAction::Close, {"w"});

    auto mainMenu = menus.makeMenu("");
    for (const auto& submenu : {appMenu, editMenu, viewMenu, windowMenu}) mainMenu->addSubmenu(submenu);
    application.setMainMenu(mainMenu, windowMenu);
}

}  // namespace dralmik
