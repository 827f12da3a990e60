#include "platform/gtk/status_item.h"

#include <algorithm>

#include "platform/gtk/desktop.h"
#include "platform/gtk/icon_renderer.h"
#include "platform/gtk/menu.h"
#include "platform/posix/file_io.h"

namespace dralmik::gtk {
namespace {

// The indicator's id names its objects on the bus: /org/ayatana/NotificationItem/dralmik_gateway
// and .../Menu for its dbusmenu.
constexpr const char* kIndicatorId = "dralmik-gateway";

int displayScale() {
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = display ? gdk_display_get_primary_monitor(display) : nullptr;
    if (!monitor && display && gdk_display_get_n_monitors(display) > 0) monitor = gdk_display_get_monitor(display, 0);
    return monitor ? std::max(1, gdk_monitor_get_scale_factor(monitor)) : 1;
}

}  // namespace

StatusItem::StatusItem(std::string id, std::string iconFolder) : id_(std::move(id)), iconFolder_(std::move(iconFolder)) {
    indicator_ = app_indicator_new(id_.c_str(), "", APP_INDICATOR_CATEGORY_APPLICATION_STATUS);
    app_indicator_set_title(indicator_, desktop().applicationName.c_str());
    // An indicator without a menu is not exported at all: give it an empty one until the
    // core's menu comes.
    placeholder_ = gtk_menu_new();
    g_object_ref_sink(placeholder_);
    app_indicator_set_menu(indicator_, GTK_MENU(placeholder_));
    app_indicator_set_status(indicator_, APP_INDICATOR_STATUS_ACTIVE);
}

StatusItem::~StatusItem() {
    g_object_unref(indicator_);
    g_object_unref(placeholder_);
}

void StatusItem::setImage(const Image& image) {
    // The tray takes icons as files: the drawing is rendered at 1x and 2x, and the host is
    // given the folder that matches the display's scale.
    const std::string name = id_ + "-status";
    std::string chosen;
    for (int scale : {1, 2}) {
        RenderOptions options;
        options.scale = scale;
        const auto png = renderPng(image, options);
        const std::string folder = iconFolder_ + "/" + std::to_string(scale) + "x";
        if (png && posix::writeFileCreatingFolders(folder + "/" + name + ".png", *png) && (chosen.empty() || scale == displayScale()))
            chosen = folder;
    }
    if (chosen.empty()) return;
    app_indicator_set_icon_theme_path(indicator_, chosen.c_str());
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

std::shared_ptr<dralmik::StatusItem> StatusBar::makeStatusItem() {
    // Further items get ids of their own.
    std::string id = kIndicatorId;
    if (made_++) id += "-" + std::to_string(made_);
    return std::make_shared<StatusItem>(id, iconFolder_);
}

}  // namespace dralmik::gtk
