#pragma once
// The main menu: application, Edit, View and Window menus. "Reload" runs the given action;
// every other item is a standard action of the desktop.
#include <functional>

#include "platform/application.h"
#include "platform/menu.h"

namespace dralmik {

void installMainMenu(MenuFactory& menus, Application& application, std::function<void()> reload);

}  // namespace dralmik
