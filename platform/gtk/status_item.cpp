#include "platform/gtk/status_item.h"

#include <X11/Xlib.h>
#include <gdk/gdkwayland.h>
#include <gdk/gdkx.h>
#include <libdbusmenu-gtk/parser.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "platform/gtk/desktop.h"
#include "platform/gtk/frame_store.h"
#include "platform/gtk/menu.h"
#include "platform/posix/file_io.h"

namespace dralmik::gtk {
namespace {

// The id hosts know the first item by; further items get a number after it.
constexpr const char* kItemId = "dralmik-gateway";
constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";
constexpr const char* kWatcher = "org.kde.StatusNotifierWatcher";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";
// The name XApp's watcher (Cinnamon's, and Mint's MATE and XFCE) owns beside the common one.
// That watcher opens the menu on a left click only for items under the application indicators'
// path; any other item is sent Activate, and nothing happens when it declines.
constexpr const char* kXAppWatcher = "org.x.StatusNotifierWatcher";
constexpr const char* kIndicatorPaths = "/org/ayatana/NotificationItem/";
// Tray icons are square: 22 points, the size panels ask for most.
constexpr double kIconPoints = 22;
// The pixel sizes offered to hosts that take pixels: they pick the nearest to their panel.
constexpr int kPixmapSizes[] = {16, 22, 24, 32, 44, 64};
// A watcher that owns its name but does not take the item yet (a panel still starting) is asked
// again this often, while it keeps the name.
constexpr guint kRegisterRetryMs = 500;
constexpr int kRegisterAttempts = 60;
// A host that is told Activate is not supported and opens the menu asks for it within this time;
// after it the item opens the menu itself (MATE's and LXQt's panels only ever activate).
constexpr guint kHostMenuWaitMs = 400;

constexpr const char* kIntrospection = R"xml(<node>
<interface name="org.kde.StatusNotifierItem">
  <property name="Category" type="s" access="read"/>
  <property name="Id" type="s" access="read"/>
  <property name="Title" type="s" access="read"/>
  <property name="Status" type="s" access="read"/>
  <property name="WindowId" type="i" access="read"/>
  <property name="IconThemePath" type="s" access="read"/>
  <property name="IconName" type="s" access="read"/>
  <property name="IconPixmap" type="a(iiay)" access="read"/>
  <property name="OverlayIconName" type="s" access="read"/>
  <property name="OverlayIconPixmap" type="a(iiay)" access="read"/>
  <property name="AttentionIconName" type="s" access="read"/>
  <property name="AttentionIconPixmap" type="a(iiay)" access="read"/>
  <property name="AttentionMovieName" type="s" access="read"/>
  <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
  <property name="ItemIsMenu" type="b" access="read"/>
  <property name="Menu" type="o" access="read"/>
  <method name="ContextMenu"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
  <method name="Activate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
  <method name="SecondaryActivate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
  <method name="Scroll"><arg name="delta" type="i" direction="in"/><arg name="orientation" type="s" direction="in"/></method>
  <method name="ProvideXdgActivationToken"><arg name="token" type="s" direction="in"/></method>
  <signal name="NewTitle"/>
  <signal name="NewIcon"/>
  <signal name="NewAttentionIcon"/>
  <signal name="NewOverlayIcon"/>
  <signal name="NewToolTip"/>
  <signal name="NewStatus"><arg name="status" type="s"/></signal>
</interface>
</node>)xml";

GDBusInterfaceInfo* itemInterface() {
    static GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
    return node->interfaces[0];
}

// The icons are drawn again at every start into the session's runtime folder: swapped in whole,
// so that a host never reads half a file, but not waited onto the disk.
bool writeIcon(const std::string& path, std::string_view contents) {
    return posix::writeFileCreatingFolders(path, contents, nullptr, posix::Durability::Replaceable);
}

GVariant* pixmapArray(const std::vector<Pixels>& pixmaps) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("a(iiay)"));
    for (const Pixels& p : pixmaps) {
        GVariant* bytes = g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, p.argb.data(), p.argb.size(), 1);
        g_variant_builder_add(&builder, "(ii@ay)", p.width, p.height, bytes);
    }
    return g_variant_builder_end(&builder);
}

bool onX11() {
    GdkDisplay* display = gdk_display_get_default();
    return display && GDK_IS_X11_DISPLAY(display);
}

void onMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method, GVariant* parameters,
                  GDBusMethodInvocation* invocation, gpointer data) {
    auto* self = static_cast<StatusItem*>(data);
    // The item is its menu and has no click action: a host that activates it is told so, and
    // then opens the menu itself.
    if (g_str_equal(method, "Activate") || g_str_equal(method, "SecondaryActivate")) {
        gint32 x = 0, y = 0;
        g_variant_get(parameters, "(ii)", &x, &y);
        g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.NotSupported",
                                                   "The item opens its menu");
        if (g_str_equal(method, "Activate")) self->activated(x, y);
        return;
    }
    // Answered first: what a call does may take a while (a window shown, a menu popped up).
    g_dbus_method_invocation_return_value(invocation, nullptr);
    if (g_str_equal(method, "ContextMenu")) {
        gint32 x = 0, y = 0;
        g_variant_get(parameters, "(ii)", &x, &y);
        self->contextMenu(x, y);
    } else if (g_str_equal(method, "ProvideXdgActivationToken")) {
        const gchar* token = nullptr;
        g_variant_get(parameters, "(&s)", &token);
        self->provideActivationToken(token);
    }
    // Scroll: the item has nothing to scroll through.
}

GVariant* onGetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* name, GError**,
                        gpointer data) {
    return static_cast<StatusItem*>(data)->property(name);
}

const GDBusInterfaceVTable kItemVtable{onMethodCall, onGetProperty, nullptr, {}};

}  // namespace

StatusItem::StatusItem(std::string id, std::string path, const StatusIcons& icons)
    : id_(std::move(id)), path_(std::move(path)), cancellable_(g_cancellable_new()), iconFolder_(icons.folder),
      bundleIcons_(icons.bundleIcons), iconName_(icons.name), toolTip_(desktop().applicationName) {
    bus_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus_) {
        object_ = g_dbus_connection_register_object(bus_, path_.c_str(), itemInterface(), &kItemVtable, this, nullptr,
                                                    nullptr);
        menuServer_ = dbusmenu_server_new((path_ + "/Menu").c_str());
    }
}

StatusItem::~StatusItem() {
    g_cancellable_cancel(cancellable_);
    g_object_unref(cancellable_);
    if (watch_) g_bus_unwatch_name(watch_);
    if (retry_) g_source_remove(retry_);
    if (menuWait_) g_source_remove(menuWait_);
    if (hostSignal_) g_dbus_connection_signal_unsubscribe(bus_, hostSignal_);
    if (object_) g_dbus_connection_unregister_object(bus_, object_);
    if (xappObject_) g_dbus_connection_unregister_object(bus_, xappObject_);
    if (menuServer_) g_object_unref(menuServer_);
    if (fallback_) g_object_unref(fallback_);
    if (bus_) g_object_unref(bus_);
}

void StatusItem::setDelegate(std::weak_ptr<StatusItemDelegate> delegate) {
    delegate_ = std::move(delegate);
    // Whether a host shows the item is found out from here on, so that the delegate hears it.
    if (bus_ && !watch_) {
        watch_ = g_bus_watch_name_on_connection(bus_, kWatcher, G_BUS_NAME_WATCHER_FLAGS_NONE, onWatcherAppeared,
                                                onWatcherVanished, this, nullptr);
    } else if (!bus_) {
        setFallback(true);
    }
}

void StatusItem::setImage(const Image& image) {
    // Hosts take the icon by name from the item's icon theme folder, or as pixels:
    //   hicolor/symbolic/apps/<name>-symbolic.svg   the bundle's symbolic icon, the name given to
    //                                               hosts: GTK hosts and Plasma recolour it
    //   hicolor/22x22/apps/<name>.png, 22x22@2/...  the drawing at 1x and 2x: what a host that
    //                                               wants a regular icon finds for the same name
    //   IconPixmap                                  the drawing at each of kPixmapSizes
    // The drawing is white with a black outline, so that it reads on light, dark and coloured
    // panels alike: a host cannot tell the item its panel's colour. The outline is pure black and
    // opaque, as only black reaches text contrast on a mid-blue bar (waybar's #2980b9), where
    // white falls short.
    const std::string theme = iconFolder_ + "/" + id_;
    gchar* symbolic = nullptr;
    gsize length = 0;
    haveSymbolic_ =
        g_file_get_contents((bundleIcons_ + "/hicolor/symbolic/apps/" + iconName_ + "-symbolic.svg").c_str(), &symbolic,
                            &length, nullptr) &&
        writeIcon(theme + "/hicolor/symbolic/apps/" + iconName_ + "-symbolic.svg", std::string_view(symbolic, length));
    g_free(symbolic);

    RenderOptions options;
    options.templateTint = {1, 1, 1, 1};
    options.templateHalo = {0, 0, 0, 1};
    options.haloWidth = 1;
    largestDrawing_.clear();
    for (int scale : {1, 2}) {
        options.scale = scale;
        options.canvas = {kIconPoints, kIconPoints};
        const auto png = renderPng(image, options);
        const std::string folder = scale == 1 ? "/hicolor/22x22/apps/" : "/hicolor/22x22@2/apps/";
        const std::string file = theme + folder + iconName_ + ".png";
        if (png && writeIcon(file, *png)) largestDrawing_ = file;
    }
    pixmaps_.clear();
    for (int size : kPixmapSizes) {
        // The drawing fills the square at every size: the 22-point icon, scaled.
        options.scale = size / kIconPoints;
        options.canvas = {kIconPoints, kIconPoints};
        pixmaps_.push_back(renderPixels(image, options));
    }
    themePath_ = !largestDrawing_.empty() || haveSymbolic_ ? theme : "";
    emit("NewIcon");
    updateFallbackIcon();
}

void StatusItem::setToolTip(const std::string& toolTip) {
    toolTip_ = toolTip;
    emit("NewToolTip");
    emit("NewTitle");
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    if (fallback_) gtk_status_icon_set_tooltip_text(fallback_, toolTip_.c_str());
    G_GNUC_END_IGNORE_DEPRECATIONS
}

void StatusItem::setMenu(std::shared_ptr<dralmik::Menu> menu) {
    menu_ = std::dynamic_pointer_cast<Menu>(menu);
    if (!menu_ || !menuServer_) return;
    GtkWidget* popup = menu_->popup();
    // The exporter mirrors the GtkMenu over dbusmenu: titles, visibility and sensitivity as
    // they change, and a host's click as the item's activate.
    DbusmenuMenuitem* root = dbusmenu_gtk_parse_menu_structure(popup);
    dbusmenu_server_set_root(menuServer_, root);
    // The host's AboutToShow reaches the root item just before it draws the menu, and its
    // "opened" event as it does.
    g_signal_connect(root, "about-to-show", G_CALLBACK(+[](DbusmenuMenuitem*, gpointer data) -> gboolean {
                         auto* self = static_cast<StatusItem*>(data);
                         self->hostOpensMenu();
                         if (self->menu_) self->menu_->willOpen();
                         return FALSE;
                     }),
                     this);
    g_signal_connect(root, "event",
                     G_CALLBACK(+[](DbusmenuMenuitem*, const gchar* name, GVariant*, guint, gpointer self) -> gboolean {
                         if (g_str_equal(name, "opened")) static_cast<StatusItem*>(self)->hostOpensMenu();
                         return FALSE;
                     }),
                     this);
    g_object_unref(root);
}

GVariant* StatusItem::property(const char* name) const {
    const std::string n = name;
    if (n == "Category") return g_variant_new_string("ApplicationStatus");
    if (n == "Id") return g_variant_new_string(id_.c_str());
    if (n == "Title") return g_variant_new_string(toolTip_.c_str());
    if (n == "Status") return g_variant_new_string("Active");
    if (n == "WindowId") return g_variant_new_int32(0);
    if (n == "IconThemePath") return g_variant_new_string(themePath_.c_str());
    if (n == "IconName") return g_variant_new_string(shownIconName().c_str());
    if (n == "IconPixmap") return pixmapArray(pixmaps_);
    if (n == "OverlayIconPixmap" || n == "AttentionIconPixmap") return pixmapArray({});
    if (n == "ToolTip") {
        return g_variant_new("(s@a(iiay)ss)", "", pixmapArray({}), toolTip_.c_str(), "");
    }
    // A click on the icon opens the menu.
    if (n == "ItemIsMenu") return g_variant_new_boolean(TRUE);
    if (n == "Menu") return g_variant_new_object_path((path_ + "/Menu").c_str());
    return g_variant_new_string("");  // the overlay and attention names, the movie: none
}

std::string StatusItem::shownIconName() const {
    if (xappWatcher_ && !largestDrawing_.empty()) return largestDrawing_;
    if (haveSymbolic_) return iconName_ + "-symbolic";
    return largestDrawing_.empty() ? "" : iconName_;
}

void StatusItem::emit(const char* signal, GVariant* parameters) {
    if (parameters) g_variant_ref_sink(parameters);
    if (object_) g_dbus_connection_emit_signal(bus_, nullptr, path_.c_str(), kItemInterface, signal, parameters, nullptr);
    if (xappObject_) {
        g_dbus_connection_emit_signal(bus_, nullptr, xappPath_.c_str(), kItemInterface, signal, parameters, nullptr);
    }
    if (parameters) g_variant_unref(parameters);
}

void StatusItem::contextMenu(int x, int y) {
    // On Wayland nothing outside a window of ours can place a menu: the delegate hears so.
    if (onX11()) {
        popUpMenu(x, y, nullptr, 0, gtk_get_current_event_time());
    } else if (auto delegate = delegate_.lock()) {
        delegate->statusItemCannotShowMenu();
    }
}

// A click on the icon in a host that activates the item: the host was told to open the menu
// itself; where it does not, the menu opens by the pointer (on Wayland, as for ContextMenu).
void StatusItem::activated(int x, int y) {
    if (!menu_ || menuWait_) return;
    struct Point {
        StatusItem* self;
        int x, y;
    };
    menuWait_ = g_timeout_add_full(
        G_PRIORITY_DEFAULT, kHostMenuWaitMs,
        +[](gpointer data) -> gboolean {
            auto* point = static_cast<Point*>(data);
            StatusItem* self = point->self;
            self->menuWait_ = 0;
            GdkDisplay* display = gdk_display_get_default();
            GdkSeat* seat = display ? gdk_display_get_default_seat(display) : nullptr;
            GdkDevice* pointer = seat ? gdk_seat_get_pointer(seat) : nullptr;
            int x = point->x, y = point->y;
            if (pointer && onX11()) gdk_device_get_position(pointer, nullptr, &x, &y);
            self->contextMenu(x, y);
            return G_SOURCE_REMOVE;
        },
        new Point{this, x, y}, [](gpointer data) { delete static_cast<Point*>(data); });
}

void StatusItem::hostOpensMenu() {
    if (menuWait_) g_source_remove(std::exchange(menuWait_, 0));
}

void StatusItem::provideActivationToken(const std::string& token) { desktop().setActivationToken(token); }

void StatusItem::popUpMenu(int x, int y, GtkStatusIcon* anchor, guint button, guint32 time) {
    if (!menu_) return;
    menu_->willOpen();
    GtkWidget* popup = menu_->popup();
    struct Point {
        int x, y;
    };
    static Point point;
    point = {x, y};
    // The menu goes where the host asked, or by the XEmbed icon; no newer call places a menu
    // outside a window of its own.
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    if (anchor) {
        gtk_menu_popup(GTK_MENU(popup), nullptr, nullptr, gtk_status_icon_position_menu, anchor, button, time);
    } else {
        gtk_menu_popup(
            GTK_MENU(popup), nullptr, nullptr,
            [](GtkMenu* menu, gint* px, gint* py, gboolean* pushIn, gpointer) {
                // Placed within the work area: GTK would push a menu from a point on a panel
                // only onto the monitor, and shorten it to scroll where it overlaps the panel.
                GtkRequisition size;
                gtk_widget_get_preferred_size(GTK_WIDGET(menu), nullptr, &size);
                GdkMonitor* monitor = gdk_display_get_monitor_at_point(gtk_widget_get_display(GTK_WIDGET(menu)),
                                                                       point.x, point.y);
                GdkRectangle area{point.x, point.y, size.width, size.height};
                if (monitor) gdk_monitor_get_workarea(monitor, &area);
                const PixelFrame placed = placeMenuAt(point.x, point.y, {0, 0, size.width, size.height},
                                                      {area.x, area.y, area.width, area.height});
                *px = placed.x;
                *py = placed.top;
                *pushIn = FALSE;
            },
            nullptr, button, time);
    }
    G_GNUC_END_IGNORE_DEPRECATIONS
}

void StatusItem::onWatcherAppeared(GDBusConnection*, const gchar*, const gchar* owner, gpointer data) {
    auto* self = static_cast<StatusItem*>(data);
    self->watcher_ = owner;
    self->attempts_ = 0;
    self->setFallback(false);
    // Which watcher it is decides the icon's name: asked before the item is registered, so that
    // the watcher reads the right name at once.
    self->call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetNameOwner",
               g_variant_new("(s)", kXAppWatcher), &StatusItem::watcherKnown);
}

void StatusItem::watcherKnown(GVariant* reply) {
    const gchar* owner = nullptr;
    if (reply && g_variant_is_of_type(reply, G_VARIANT_TYPE("(s)"))) g_variant_get(reply, "(&s)", &owner);
    const bool xapp = owner && watcher_ == owner;
    if (xapp && !xappObject_ && object_) {
        // Object path elements take letters, digits and "_" only.
        xappPath_ = kIndicatorPaths + id_;
        for (size_t i = std::strlen(kIndicatorPaths); i < xappPath_.size(); ++i) {
            if (!g_ascii_isalnum(xappPath_[i])) xappPath_[i] = '_';
        }
        xappObject_ = g_dbus_connection_register_object(bus_, xappPath_.c_str(), itemInterface(), &kItemVtable, this,
                                                        nullptr, nullptr);
    }
    if (xapp != xappWatcher_) {
        xappWatcher_ = xapp;
        emit("NewIcon");
    }
    if (!watcher_.empty()) registerWithWatcher();
}

// Also called at the start when no watcher runs.
void StatusItem::onWatcherVanished(GDBusConnection*, const gchar*, gpointer data) {
    auto* self = static_cast<StatusItem*>(data);
    self->watcher_.clear();
    if (self->retry_) g_source_remove(std::exchange(self->retry_, 0));
    if (self->hostSignal_) g_dbus_connection_signal_unsubscribe(self->bus_, std::exchange(self->hostSignal_, 0));
    self->setFallback(true);
}

void StatusItem::registerWithWatcher() {
    if (g_dbus_connection_is_closed(bus_)) return;  // the session is ending
    // A host that comes after the item is registered shows it then.
    if (!hostSignal_) {
        hostSignal_ = g_dbus_connection_signal_subscribe(
            bus_, watcher_.c_str(), kWatcher, "StatusNotifierHostRegistered", kWatcherPath, nullptr,
            G_DBUS_SIGNAL_FLAGS_NONE,
            [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant*, gpointer self) {
                static_cast<StatusItem*>(self)->setShown(true);
            },
            this, nullptr);
    }
    const std::string& path = xappWatcher_ && xappObject_ ? xappPath_ : path_;
    callWatcher(kWatcher, "RegisterStatusNotifierItem", g_variant_new("(s)", path.c_str()), &StatusItem::registered);
}

void StatusItem::registered(GVariant* reply) {
    if (reply) {
        // A watcher alone shows nothing: the item is shown once a host has registered there.
        callWatcher("org.freedesktop.DBus.Properties", "Get",
                    g_variant_new("(ss)", kWatcher, "IsStatusNotifierHostRegistered"), &StatusItem::hostAnswered);
    } else {
        // Refused, or not served yet by a watcher that took its name first: the XEmbed icon
        // stands in while the watcher is asked again, for as long as it keeps its name.
        setFallback(true);
        if (!watcher_.empty() && !retry_ && attempts_++ < kRegisterAttempts) {
            retry_ = g_timeout_add(kRegisterRetryMs, +[](gpointer data) -> gboolean {
                auto* self = static_cast<StatusItem*>(data);
                self->retry_ = 0;
                if (!self->watcher_.empty()) self->registerWithWatcher();
                return G_SOURCE_REMOVE;
            }, this);
        }
    }
}

void StatusItem::hostAnswered(GVariant* reply) {
    // A watcher that does not say is taken to have a host, as most hosts run their own.
    bool host = true;
    GVariant* value = nullptr;
    if (reply && g_variant_is_of_type(reply, G_VARIANT_TYPE("(v)"))) g_variant_get(reply, "(v)", &value);
    if (value && g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN)) host = g_variant_get_boolean(value);
    if (value) g_variant_unref(value);
    setShown(host);
}

void StatusItem::callWatcher(const char* interface, const char* method, GVariant* parameters,
                             void (StatusItem::*then)(GVariant* reply)) {
    call(watcher_.c_str(), kWatcherPath, interface, method, parameters, then);
}

// `then` takes the reply (null on an error) unless the item has gone.
void StatusItem::call(const char* destination, const char* objectPath, const char* interface, const char* method,
                      GVariant* parameters, void (StatusItem::*then)(GVariant* reply)) {
    struct Call {
        StatusItem* self;
        void (StatusItem::*then)(GVariant*);
    };
    g_dbus_connection_call(
        bus_, destination, objectPath, interface, method, parameters, nullptr, G_DBUS_CALL_FLAGS_NONE, -1,
        cancellable_,
        [](GObject* bus, GAsyncResult* result, gpointer data) {
            std::unique_ptr<Call> call(static_cast<Call*>(data));
            GError* error = nullptr;
            GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &error);
            const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
            g_clear_error(&error);
            if (!cancelled) (call->self->*call->then)(reply);
            if (reply) g_variant_unref(reply);
        },
        new Call{this, then});
}

void StatusItem::setShown(bool shown) {
    if (shown_ == shown) return;
    shown_ = shown;
    auto delegate = delegate_.lock();
    if (!delegate) return;
    if (shown) {
        delegate->statusItemIsShown();
    } else {
        delegate->statusItemCannotBeShown();
    }
}

// The XEmbed icon stands in while no watcher runs, on X11 only (Wayland has no XEmbed).
void StatusItem::setFallback(bool wanted) {
    if (wanted && onX11()) {
        if (!fallback_) {
            G_GNUC_BEGIN_IGNORE_DEPRECATIONS
            fallback_ = gtk_status_icon_new();
            gtk_status_icon_set_title(fallback_, toolTip_.c_str());
            gtk_status_icon_set_tooltip_text(fallback_, toolTip_.c_str());
            G_GNUC_END_IGNORE_DEPRECATIONS
            // A left click opens the menu, as a right click does.
            g_signal_connect(fallback_, "activate", G_CALLBACK(+[](GtkStatusIcon* icon, gpointer self) {
                                 static_cast<StatusItem*>(self)->popUpMenu(0, 0, icon, 1, gtk_get_current_event_time());
                             }),
                             this);
            g_signal_connect(fallback_, "popup-menu",
                             G_CALLBACK(+[](GtkStatusIcon* icon, guint button, guint time, gpointer self) {
                                 static_cast<StatusItem*>(self)->popUpMenu(0, 0, icon, button, time);
                             }),
                             this);
            g_signal_connect(fallback_, "notify::embedded", G_CALLBACK(+[](GObject* icon, GParamSpec*, gpointer self) {
                                 G_GNUC_BEGIN_IGNORE_DEPRECATIONS
                                 const bool embedded = gtk_status_icon_is_embedded(GTK_STATUS_ICON(icon));
                                 G_GNUC_END_IGNORE_DEPRECATIONS
                                 static_cast<StatusItem*>(self)->setShown(embedded);
                             }),
                             this);
            g_signal_connect(fallback_, "size-changed", G_CALLBACK(+[](GtkStatusIcon*, gint, gpointer self) -> gboolean {
                                 static_cast<StatusItem*>(self)->updateFallbackIcon();
                                 return TRUE;
                             }),
                             this);
            updateFallbackIcon();
        }
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        gtk_status_icon_set_visible(fallback_, TRUE);
        const bool embedded = gtk_status_icon_is_embedded(fallback_);
        G_GNUC_END_IGNORE_DEPRECATIONS
        // Embedding takes a moment once a tray manager runs; with none, nothing shows the item.
        if (embedded) {
            setShown(true);
        } else {
            GdkDisplay* display = gdk_display_get_default();
            Display* x = GDK_DISPLAY_XDISPLAY(display);
            const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(x));
            if (XGetSelectionOwner(x, XInternAtom(x, selection.c_str(), False)) == None) setShown(false);
        }
    } else if (wanted) {
        setShown(false);
    } else if (fallback_) {
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        gtk_status_icon_set_visible(fallback_, FALSE);
        G_GNUC_END_IGNORE_DEPRECATIONS
    }
}

void StatusItem::updateFallbackIcon() {
    if (!fallback_ || pixmaps_.empty()) return;
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    const int size = gtk_status_icon_get_size(fallback_);
    G_GNUC_END_IGNORE_DEPRECATIONS
    // The largest pixmap that fits the tray's slot.
    const Pixels* best = &pixmaps_.front();
    for (const Pixels& p : pixmaps_) {
        if (p.width <= std::max(size, 16)) best = &p;
    }
    std::string rgba;
    rgba.reserve(best->argb.size());
    for (size_t i = 0; i + 3 < best->argb.size(); i += 4) rgba += {best->argb[i + 1], best->argb[i + 2], best->argb[i + 3], best->argb[i]};
    GBytes* bytes = g_bytes_new(rgba.data(), rgba.size());
    GdkPixbuf* pixbuf =
        gdk_pixbuf_new_from_bytes(bytes, GDK_COLORSPACE_RGB, TRUE, 8, best->width, best->height, best->width * 4);
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_status_icon_set_from_pixbuf(fallback_, pixbuf);
    G_GNUC_END_IGNORE_DEPRECATIONS
    g_object_unref(pixbuf);
    g_bytes_unref(bytes);
}

std::shared_ptr<dralmik::StatusItem> StatusBar::makeStatusItem() {
    // Further items get ids and paths of their own.
    std::string id = kItemId;
    std::string path = "/StatusNotifierItem";
    if (made_++) {
        id += "-" + std::to_string(made_);
        path += "/" + std::to_string(made_);
    }
    return std::make_shared<StatusItem>(id, path, icons_);
}

}  // namespace dralmik::gtk
