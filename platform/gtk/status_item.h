#pragma once
// The tray icon, on libayatana-appindicator: a StatusNotifierItem with its menu over dbusmenu
// on the session bus (the library falls back to an XEmbed tray icon while no
// StatusNotifierWatcher runs). The library has no Activate method, which hosts call on a left
// click: the item answers it (and SecondaryActivate) on the bus itself and tells its delegate.
// Nothing can show the item while neither a watcher nor an XEmbed tray manager runs.
#include <libayatana-appindicator/app-indicator.h>

#include <memory>
#include <string>

#include "platform/status_item.h"

namespace dralmik::gtk {

class Menu;

// Where the items' icons come from and go.
struct StatusIcons {
    std::string folder;       // written at run time: one icon theme folder per item
    std::string bundleIcons;  // the bundle's icon theme folder, with the symbolic icon
    std::string name;         // the icon's name there, without "-symbolic"
};

class StatusItem final : public dralmik::StatusItem {
public:
    StatusItem(std::string id, const StatusIcons& icons);
    ~StatusItem() override;

    void setDelegate(std::weak_ptr<StatusItemDelegate> delegate) override { delegate_ = std::move(delegate); }
    void setImage(const Image& image) override;
    // The tray protocol as this library speaks it has no tooltip; the title is what hosts show.
    void setToolTip(const std::string& toolTip) override { app_indicator_set_title(indicator_, toolTip.c_str()); }
    void setMenu(std::shared_ptr<dralmik::Menu> menu) override;

private:
    static GDBusMessage* filter(GDBusConnection*, GDBusMessage* message, gboolean incoming, gpointer path);
    static void onWatcherVanished(GDBusConnection*, const gchar*, gpointer self);
    void activated(GDBusMessage* call);

    std::string id_;
    std::string path_;
    std::weak_ptr<StatusItemDelegate> delegate_;
    GDBusConnection* bus_ = nullptr;
    guint filter_ = 0;
    guint watch_ = 0;
    std::string iconFolder_;
    std::string bundleIcons_;
    std::string iconName_;
    AppIndicator* indicator_;
    GtkWidget* placeholder_;
    std::shared_ptr<Menu> menu_;
};

class StatusBar final : public dralmik::StatusBar {
public:
    explicit StatusBar(StatusIcons icons) : icons_(std::move(icons)) {}
    std::shared_ptr<dralmik::StatusItem> makeStatusItem() override;

private:
    StatusIcons icons_;
    int made_ = 0;
};

}  // namespace dralmik::gtk
