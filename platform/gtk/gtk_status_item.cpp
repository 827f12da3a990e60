#include <libayatana-appindicator/app-indicator.h>

#include <cmath>

#include "platform/gtk/gtk_desktop.h"
#include "platform/gtk/icon_renderer.h"

namespace dralmik::gtk {
namespace {

// The indicator's id names its objects on the bus: /org/ayatana/NotificationItem/dralmik_gateway
// and .../Menu for its dbusmenu.
constexpr const char* kIndicatorId = "dralmik-gateway";

bool writeFile(const std::string& path, const std::string& bytes) {
    gchar* folder = g_path_get_dirname(path.c_str());
    const bool made = g_mkdir_with_parents(folder, 0700) == 0;
    g_free(folder);
    return made && g_file_set_contents(path.c_str(), bytes.data(), static_cast<gssize>(bytes.size()), nullptr);
}

int displayScale() {
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = display ? gdk_display_get_primary_monitor(display) : nullptr;
    if (!monitor && display && gdk_display_get_n_monitors(display) > 0) monitor = gdk_display_get_monitor(display, 0);
    return monitor ? std::max(1, gdk_monitor_get_scale_factor(monitor)) : 1;
}

class GtkStatusItem : public StatusItem {
public:
    GtkStatusItem(std::string id, std::string iconFolder) : id_(std::move(id)), iconFolder_(std::move(iconFolder)) {
        indicator_ = app_indicator_new(id_.c_str(), "", APP_INDICATOR_CATEGORY_APPLICATION_STATUS);
        app_indicator_set_title(indicator_, desktop().applicationName.c_str());
        // An indicator without a menu is not exported at all: give it an empty one until the
        // core's menu comes.
        placeholder_ = gtk_menu_new();
        g_object_ref_sink(placeholder_);
        app_indicator_set_menu(indicator_, GTK_MENU(placeholder_));
        app_indicator_set_status(indicator_, APP_INDICATOR_STATUS_ACTIVE);
    }
    ~GtkStatusItem() override {
        g_object_unref(indicator_);
        g_object_unref(placeholder_);
    }

    bool hasButton() const override { return true; }

    void setImage(const Image& image) override {
        // The tray takes icons as files: the drawing is rendered at 1x and 2x, and the host is
        // given the folder that matches the display's scale.
        const std::string name = id_ + "-status";
        std::string chosen;
        for (int scale : {1, 2}) {
            RenderOptions options;
            options.scale = scale;
            const auto png = renderPng(image, options);
            const std::string folder = iconFolder_ + "/" + std::to_string(scale) + "x";
            if (png && writeFile(folder + "/" + name + ".png", *png) && (chosen.empty() || scale == displayScale()))
                chosen = folder;
        }
        if (chosen.empty()) return;
        app_indicator_set_icon_theme_path(indicator_, chosen.c_str());
        app_indicator_set_icon_full(indicator_, name.c_str(), desktop().applicationName.c_str());
    }

    // The tray protocol as this library speaks it has no tooltip; the title is what hosts show.
    void setToolTip(const std::string& toolTip) override { app_indicator_set_title(indicator_, toolTip.c_str()); }

    void setMenu(std::shared_ptr<Menu> menu) override {
        menu_ = std::dynamic_pointer_cast<GtkMenuImpl>(menu);
        if (!menu_) return;
        GtkWidget* popup = menu_->popup();
        gtk_widget_show(popup);
        app_indicator_set_menu(indicator_, GTK_MENU(popup));
        // The tray host draws the menu itself from its dbusmenu copy, so the GtkMenu never
        // pops up. The host's AboutToShow reaches the copy's root item, which the dbusmenu
        // parser keeps on the menu widget under this key.
        if (auto* root = static_cast<GObject*>(g_object_get_data(G_OBJECT(popup), "dbusmenu-gtk-parser-cached-item"))) {
            g_signal_connect(root, "about-to-show", G_CALLBACK(+[](GObject*, gpointer menu) -> gboolean {
                                 static_cast<GtkMenuImpl*>(menu)->willOpen();
                                 return FALSE;
                             }),
                             menu_.get());
        }
    }

private:
    std::string id_;
    std::string iconFolder_;
    AppIndicator* indicator_;
    GtkWidget* placeholder_;
    std::shared_ptr<GtkMenuImpl> menu_;
};

}  // namespace

std::shared_ptr<StatusItem> GtkStatusBar::statusItemWithLength(double) {
    // The tray gives each item its own width; the length has no counterpart. Further items get
    // ids of their own.
    std::string id = kIndicatorId;
    if (made_++) id += "-" + std::to_string(made_);
    return std::make_shared<GtkStatusItem>(id, iconFolder_);
}

bool GtkWorkspace::openURL(const Url& url) {
    GError* error = nullptr;
    const bool ok = g_app_info_launch_default_for_uri(url.string().c_str(), nullptr, &error);
    g_clear_error(&error);
    return ok;
}

void GtkAlerts::beginSheet(Window& window, const AlertSpec& alert, std::function<void(long)> completion) {
    auto* parent = dynamic_cast<GtkWindowImpl*>(&window);
    GtkWidget* dialog = gtk_message_dialog_new(parent ? parent->gtkWindow() : nullptr,
                                               GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
                                               GTK_MESSAGE_OTHER, GTK_BUTTONS_NONE, "%s", alert.messageText.c_str());
    std::vector<std::string> buttons = alert.buttons;
    if (buttons.empty()) buttons.push_back("OK");
    // GTK lays buttons out from the left; the default (first) button goes rightmost.
    for (size_t i = buttons.size(); i-- > 0;)
        gtk_dialog_add_button(GTK_DIALOG(dialog), buttons[i].c_str(), static_cast<int>(kAlertFirstButtonReturn + i));
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), static_cast<int>(kAlertFirstButtonReturn));

    struct Pending {
        std::function<void(long)> completion;
        long cancelResponse;
    };
    // Escape or the close button answers as the last button (the cancel of a confirmation).
    auto* pending = new Pending{std::move(completion), kAlertFirstButtonReturn + static_cast<long>(buttons.size()) - 1};
    g_signal_connect_data(
        dialog, "response",
        G_CALLBACK(+[](GtkDialog* d, int response, gpointer data) {
            auto* p = static_cast<Pending*>(data);
            auto done = std::move(p->completion);
            p->completion = nullptr;
            const long code = response >= kAlertFirstButtonReturn ? response : p->cancelResponse;
            gtk_widget_destroy(GTK_WIDGET(d));  // frees p with the handler
            if (done) done(code);
        }),
        pending, [](gpointer data, GClosure*) { delete static_cast<Pending*>(data); }, GConnectFlags(0));

    // A sheet belongs to its window: while the window is hidden the dialog waits for it.
    if (!parent || parent->isVisible()) {
        gtk_widget_show(dialog);
    } else {
        g_signal_connect_object(parent->gtkWindow(), "map", G_CALLBACK(+[](GtkWidget*, gpointer d) { gtk_widget_show(GTK_WIDGET(d)); }),
                                dialog, GConnectFlags(0));
    }
}

}  // namespace dralmik::gtk
