#pragma once
// The item in the system's status area (menu bar, tray). The core relies on: the item lasts
// while the process runs; a click on it opens its menu; setImage() shows the drawn icon, which
// as a template image is recoloured to suit the bar; the tooltip names the item. The item has no
// click action of its own. The delegate hears that the bar asked for the menu where the item
// cannot show one, that no status area can show the item, and that one shows it (again).
#include <memory>
#include <string>

#include "platform/image.h"
#include "platform/menu.h"

namespace dralmik {

class StatusItemDelegate {
public:
    virtual ~StatusItemDelegate() = default;
    virtual void statusItemCannotShowMenu() = 0;
    virtual void statusItemCannotBeShown() = 0;
    virtual void statusItemIsShown() = 0;
};

class StatusItem {
public:
    virtual ~StatusItem() = default;
    virtual void setDelegate(std::weak_ptr<StatusItemDelegate> delegate) = 0;
    virtual void setImage(const Image& image) = 0;
    virtual void setToolTip(const std::string& toolTip) = 0;
    virtual void setMenu(std::shared_ptr<Menu> menu) = 0;
};

class StatusBar {
public:
    virtual ~StatusBar() = default;
    // A new item whose width follows its content.
    virtual std::shared_ptr<StatusItem> makeStatusItem() = 0;
};

}  // namespace dralmik
