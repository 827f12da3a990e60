#pragma once
// The tray icon, on libayatana-appindicator: a StatusNotifierItem with its menu over dbusmenu
// on the session bus (the library falls back to an XEmbed tray icon where a host wants one).
#include <libayatana-appindicator/app-indicator.h>

#include <memory>
#include <string>

#include "platform/status_item.h"

namespace dralmik::gtk {

class Menu;

class StatusItem final : public dralmik::StatusItem {
public:
    StatusItem(std::string id, std::string iconFolder);
    ~StatusItem() override;

    void setImage(const Image& image) override;
    // The tray protocol as this library speaks it has no tooltip; the title is what hosts show.
    void setToolTip(const std::string& toolTip) override { app_indicator_set_title(indicator_, toolTip.c_str()); }
    void setMenu(std::shared_ptr<dralmik::Menu> menu) override;

private:
    std::string id_;
    std::string iconFolder_;
    AppIndicator* indicator_;
    GtkWidget* placeholder_;
    std::shared_ptr<Menu> menu_;
};

class StatusBar final : public dralmik::StatusBar {
public:
    explicit StatusBar(std::string iconFolder) : iconFolder_(std::move(iconFolder)) {}
    std::shared_ptr<dralmik::StatusItem> makeStatusItem() override;

private:
    std::string iconFolder_;
    int made_ = 0;
};

}  // namespace dralmik::gtk
