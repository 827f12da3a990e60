#include "platform/gtk/status_item.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>

#include <algorithm>
#include <map>

#include "platform/gtk/desktop.h"
#include "platform/gtk/icon_renderer.h"
#include "platform/gtk/menu.h"
#include "platform/posix/file_io.h"

namespace dralmik::gtk {
namespace {

// The indicator's id names its objects on the bus: /org/ayatana/NotificationItem/dralmik_gateway
// and .../Menu for its dbusmenu.
constexpr const char* kIndicatorId = "dralmik-gateway";
// Tray icons are square: 22 points, the size panels ask for most.
constexpr double kIconPoints = 22;

// The icons are drawn again at every start into the session's runtime folder: swapped in whole,
// so that a host never reads half a file, but not waited onto the disk.
bool writeIcon(const std::string& path, std::string_view contents) {
    return posix::writeFileCreatingFolders(path, contents, nullptr, posix::Durability::Replaceable);
}

int displayScale() {
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = display ? gdk_display_get_primary_monitor(display) : nullptr;
    if (!monitor && display && gdk_display_get_n_monitors(display) > 0) monitor = gdk_display_get_monitor(display, 0);
    return monitor ? std::max(1, gdk_monitor_get_scale_factor(monitor)) : 1;
}

// The items by object path, for the activations that the bus thread hands to the main loop.
std::map<std::string, StatusItem*>& itemsByPath() {
    static std::map<std::string, StatusItem*> items;
    return items;
}

// Whether an XEmbed tray manager runs on the X display (on Wayland there is none).
bool trayManagerRuns() {
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !GDK_IS_X11_DISPLAY(display)) return false;
    Display* x = GDK_DISPLAY_XDISPLAY(display);
    const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(x));
    return XGetSelectionOwner(x, XInternAtom(x, selection.c_str(), False)) != None;
}

}  // namespace

StatusItem::StatusItem(std::string id, const StatusIcons& icons)
    : id_(std::move(id)), iconFolder_(icons.folder), bundleIcons_(icons.bundleIcons), iconName_(icons.name) {
    indicator_ = app_indicator_new(id_.c_str(), "", APP_INDICATOR_CATEGORY_APPLICATION_STATUS);
    app_indicator_set_title(indicator_, desktop().applicationName.c_str());
    // An indicator without a menu is not exported at all: give it an empty one until the
    // core's menu comes.
    placeholder_ = gtk_menu_new();
    g_object_ref_sink(placeholder_);
    app_indicator_set_menu(indicator_, GTK_MENU(placeholder_));
    app_indicator_set_status(indicator_, APP_INDICATOR_STATUS_ACTIVE);

    // The library's object path for the id; the bus connection is the same shared one.
    path_ = "/org/ayatana/NotificationItem/" + id_;
    std::replace(path_.begin(), path_.end(), '-', '_');
    itemsByPath()[path_] = this;
    bus_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus_) {
        filter_ = g_dbus_connection_add_filter(bus_, filter, g_strdup(path_.c_str()), g_free);
        watch_ = g_bus_watch_name_on_connection(bus_, "org.kde.StatusNotifierWatcher", G_BUS_NAME_WATCHER_FLAGS_NONE,
                                                nullptr, onWatcherVanished, this, nullptr);
    }
}

StatusItem::~StatusItem() {
    itemsByPath().erase(path_);
    if (watch_) g_bus_unwatch_name(watch_);
    if (filter_) g_dbus_connection_remove_filter(bus_, filter_);
    if (bus_) g_object_unref(bus_);
    g_object_unref(indicator_);
    g_object_unref(placeholder_);
}

void StatusItem::setImage(const Image& image) {
    // The tray takes icons by name from the item's icon theme folder:
    //   hicolor/symbolic/apps/<name>-symbolic.svg   the bundle's symbolic icon, the name given to
    //                                               hosts: those on GTK recolour it to suit the panel
    //   hicolor/22x22/apps/<name>.png, 22x22@2/...  the drawing, square, at 1x and 2x: what a host
    //                                               that wants pixels finds for the same name
    //   <name>-symbolic.png                         the drawing at the display's scale, for hosts
    //                                               that open <folder>/<icon name>.png
    // The drawing is white with a dark outline, so that it reads on light and dark panels alike.
    const std::string theme = iconFolder_ + "/" + id_;
    gchar* symbolic = nullptr;
    gsize length = 0;
    const bool haveSymbolic =
        g_file_get_contents((bundleIcons_ + "/hicolor/symbolic/apps/" + iconName_ + "-symbolic.svg").c_str(), &symbolic,
                            &length, nullptr) &&
        writeIcon(theme + "/hicolor/symbolic/apps/" + iconName_ + "-symbolic.svg", std::string_view(symbolic, length));
    g_free(symbolic);
    const std::string name = haveSymbolic ? iconName_ + "-symbolic" : iconName_;

    bool written = false;
    for (int scale : {1, 2}) {
        RenderOptions options;
        options.scale = scale;
        options.canvas = {kIconPoints, kIconPoints};
        options.templateTint = {1, 1, 1, 1};
        options.templateHalo = {0.1, 0.1, 0.1, 0.9};
        options.haloWidth = 1;
        const auto png = renderPng(image, options);
        if (!png) continue;
        const std::string folder = scale == 1 ? "/hicolor/22x22/apps/" : "/hicolor/22x22@2/apps/";
        written = writeIcon(theme + folder + iconName_ + ".png", *png) || written;
        if (scale == std::min(2, displayScale())) writeIcon(theme + "/" + name + ".png", *png);
    }
    if (!written && !haveSymbolic) return;
    app_indicator_set_icon_theme_path(indicator_, theme.c_str());
    app_indicator_set_icon_full(indicator_, name.c_str(), desktop().applicationName.c_str());
}

void StatusItem::setMenu(std::shared_ptr<dralmik::Menu> menu) {
    menu_ = std::dynamic_pointer_cast<Menu>(menu);
    if (!menu_) return;
    GtkWidget* popup = menu_->popup();
    gtk_widget_show(popup);
    app_indicator_set_menu(indicator_, GTK_MENU(popup));
    // The tray host draws the menu itself from its dbusmenu copy, so the GtkMenu never pops
    // up. The host's AboutToShow reaches the copy's root item, which the dbusmenu parser keeps
    // on the menu widget under this key.
    if (auto* root = static_cast<GObject*>(g_object_get_data(G_OBJECT(popup), "dbusmenu-gtk-parser-cached-item"))) {
        g_signal_connect(root, "about-to-show", G_CALLBACK(+[](GObject*, gpointer menu) -> gboolean {
                             static_cast<Menu*>(menu)->willOpen();
                             return FALSE;
                         }),
                         menu_.get());
    }
}

// On the bus's own thread: takes the item's Activate and SecondaryActivate calls, which the
// library would refuse, to the main loop.
GDBusMessage* StatusItem::filter(GDBusConnection*, GDBusMessage* message, gboolean incoming, gpointer path) {
    if (!incoming || g_dbus_message_get_message_type(message) != G_DBUS_MESSAGE_TYPE_METHOD_CALL) return message;
    const char* member = g_dbus_message_get_member(message);
    if (g_strcmp0(g_dbus_message_get_path(message), static_cast<const char*>(path)) != 0 ||
        g_strcmp0(g_dbus_message_get_interface(message), "org.kde.StatusNotifierItem") != 0 ||
        (g_strcmp0(member, "Activate") != 0 && g_strcmp0(member, "SecondaryActivate") != 0))
        return message;
    g_idle_add(
        +[](gpointer call) -> gboolean {
            auto* message = static_cast<GDBusMessage*>(call);
            auto found = itemsByPath().find(g_dbus_message_get_path(message));
            if (found != itemsByPath().end()) found->second->activated(message);
            g_object_unref(message);
            return G_SOURCE_REMOVE;
        },
        message);  // the filter's reference goes with it
    return nullptr;
}

void StatusItem::activated(GDBusMessage* call) {
    GDBusMessage* reply = g_dbus_message_new_method_reply(call);
    g_dbus_connection_send_message(bus_, reply, G_DBUS_SEND_MESSAGE_FLAGS_NONE, nullptr, nullptr);
    g_object_unref(reply);
    if (auto delegate = delegate_.lock()) delegate->statusItemWasActivated();
}

// Also called at the start when no watcher runs. Without one the library shows the item in an
// XEmbed tray, if a tray manager runs; when a watcher comes later, the library registers there.
void StatusItem::onWatcherVanished(GDBusConnection*, const gchar*, gpointer data) {
    auto* self = static_cast<StatusItem*>(data);
    if (trayManagerRuns()) return;
    if (auto delegate = self->delegate_.lock()) delegate->statusItemCannotBeShown();
}

std::shared_ptr<dralmik::StatusItem> StatusBar::makeStatusItem() {
    // Further items get ids of their own.
    std::string id = kIndicatorId;
    if (made_++) id += "-" + std::to_string(made_);
    return std::make_shared<StatusItem>(id, icons_);
}

}  // namespace dralmik::gtk
