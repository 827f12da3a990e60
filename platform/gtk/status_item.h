#pragma once
// The tray icon: a StatusNotifierItem of our own on the session bus (every property and method
// that hosts use), registered with the StatusNotifierWatcher, its menu handed to libdbusmenu's
// exporter. Where no watcher runs, an XEmbed tray icon (GtkStatusIcon) stands in for trays that
// only have that. The item is shown while a watcher with a host has taken it or the XEmbed icon
// is embedded; the delegate hears when that starts and when nothing can show it.
#include <gtk/gtk.h>
#include <libdbusmenu-glib/server.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/gtk/icon_renderer.h"
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
    // The item's id names it to hosts; its objects are at `path` and `path`/Menu.
    StatusItem(std::string id, std::string path, const StatusIcons& icons);
    ~StatusItem() override;

    void setDelegate(std::weak_ptr<StatusItemDelegate> delegate) override;
    void setImage(const Image& image) override;
    void setToolTip(const std::string& toolTip) override;
    void setMenu(std::shared_ptr<dralmik::Menu> menu) override;

    // The protocol's methods, as the bus delivers them (public for the bus's callbacks).
    void contextMenu(int x, int y);
    void activated(int x, int y);
    void hostOpensMenu();
    void provideActivationToken(const std::string& token);
    GVariant* property(const char* name) const;
    // The name given to hosts: the symbolic one, which hosts recolour, but for XApp's watcher
    // the drawing's file: it looks a name up as a symbolic one first, and its status icons take
    // a file path with "symbolic" in it for a name in the desktop's own theme, and draw nothing.
    std::string shownIconName() const;

private:
    static void onWatcherAppeared(GDBusConnection*, const gchar*, const gchar*, gpointer self);
    static void onWatcherVanished(GDBusConnection*, const gchar*, gpointer self);
    void registerWithWatcher();
    void registered(GVariant* reply);
    void hostAnswered(GVariant* reply);
    void watcherKnown(GVariant* reply);
    void callWatcher(const char* interface, const char* method, GVariant* parameters,
                     void (StatusItem::*then)(GVariant* reply));
    void call(const char* destination, const char* objectPath, const char* interface, const char* method,
              GVariant* parameters, void (StatusItem::*then)(GVariant* reply));
    void setShown(bool shown);
    void emit(const char* signal, GVariant* parameters = nullptr);
    void updateFallbackIcon();
    void setFallback(bool wanted);
    void popUpMenu(int x, int y, GtkStatusIcon* anchor, guint button, guint32 time);

    std::string id_;
    std::string path_;
    std::weak_ptr<StatusItemDelegate> delegate_;
    GDBusConnection* bus_ = nullptr;
    guint object_ = 0;
    guint xappObject_ = 0;  // the item again at the path XApp's watcher opens the menu for
    std::string xappPath_;
    guint watch_ = 0;
    guint hostSignal_ = 0;
    GCancellable* cancellable_;
    std::string watcher_;  // the watcher's unique name while one runs
    guint retry_ = 0;      // the next registration with a watcher that did not take the item
    guint menuWait_ = 0;   // after an Activate: the host has this long to open the menu itself
    int attempts_ = 0;

    std::string iconFolder_;
    std::string bundleIcons_;
    std::string iconName_;
    std::string themePath_;  // the folder given to hosts
    bool haveSymbolic_ = false;  // the symbolic icon is in that folder
    std::string largestDrawing_;  // the drawing's file there, 2x or else 1x; none when unwritten
    bool xappWatcher_ = false;   // the watcher hands items to XApp status icons
    std::vector<Pixels> pixmaps_;
    std::string toolTip_;

    std::shared_ptr<Menu> menu_;
    DbusmenuServer* menuServer_ = nullptr;
    GtkStatusIcon* fallback_ = nullptr;
    std::optional<bool> shown_;
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
