#pragma once
// The item in the system's status area (menu bar, tray). The core relies on: the item lasts
// while the process runs; a click on it opens its menu; setImage() shows the drawn icon.
#include <memory>
#include <string>

#include "platform/image.h"
#include "platform/menu.h"

namespace dralmik {

inline constexpr double kVariableStatusItemLength = -1.0;

class StatusItem {
public:
    virtual ~StatusItem() = default;
    virtual bool hasButton() const = 0;
    virtual void setImage(const Image& image) = 0;
    virtual void setToolTip(const std::string& toolTip) = 0;
    virtual void setMenu(std::shared_ptr<Menu> menu) = 0;
};

class StatusBar {
public:
    virtual ~StatusBar() = default;
    virtual std::shared_ptr<StatusItem> statusItemWithLength(double length) = 0;
};

}  // namespace dralmik
