#pragma once
// The main menu: application, Edit, View and Window menus. Only "Reload" has a target; every
// other item goes to the first responder.
#include <memory>

#include "platform/application.h"
#include "platform/menu.h"

namespace dralmik {

void installMainMenu(MenuFactory& menus, Application& application, std::weak_ptr<ActionTarget> reloadTarget);

}  // namespace dralmik
