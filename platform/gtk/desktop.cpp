#include "platform/gtk/desktop.h"

#include <algorithm>
#include <utility>

#include "platform/gtk/web_view.h"
#include "platform/gtk/window.h"

namespace dralmik::gtk {

Desktop& desktop() {
    static Desktop instance;
    return instance;
}

GtkAccelGroup* Desktop::accelGroup() {
    if (!accelGroup_) accelGroup_ = gtk_accel_group_new();
    return accelGroup_;
}

Window* Desktop::keyWindow() const {
    if (keyWindow_) return keyWindow_;
    return windows_.empty() ? nullptr : windows_.front();
}

void Desktop::addWindow(Window* window) {
    windows_.push_back(window);
    if (windowAdded) windowAdded(window);
}

void Desktop::preferDarkTheme() {
    darkPending_ = true;
    applyLooksSoon();
}

void Desktop::useApplicationIcon() {
    iconPending_ = true;
    applyLooksSoon();
}

void Desktop::applyLooksSoon() {
    // GTK lays windows out at G_PRIORITY_HIGH_IDLE + 10 and draws them at + 20.
    if (!looksSource_) looksSource_ = g_idle_add_full(G_PRIORITY_HIGH_IDLE, applyLooks, nullptr, nullptr);
}

gboolean Desktop::applyLooks(gpointer) {
    Desktop& self = desktop();
    self.looksSource_ = 0;
    GtkSettings* settings = gtk_settings_get_default();
    if (std::exchange(self.darkPending_, false) && settings) {
        // Setting it again, even to the same value, would parse the theme again.
        gboolean dark = FALSE;
        g_object_get(settings, "gtk-application-prefer-dark-theme", &dark, nullptr);
        if (!dark) g_object_set(settings, "gtk-application-prefer-dark-theme", TRUE, nullptr);
    }
    if (std::exchange(self.iconPending_, false)) {
        // The icon's PNG files where the bundle has them: by name, GTK would draw the theme's
        // SVG and load the SVG renderer into this process for good.
        GList* icons = nullptr;
        for (const std::string& file : self.windowIconFiles) {
            if (GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(file.c_str(), nullptr)) icons = g_list_append(icons, pixbuf);
        }
        if (icons) {
            gtk_window_set_default_icon_list(icons);
        } else {
            gtk_window_set_default_icon_name(self.iconName.c_str());
        }
        // The default reaches windows realised from now on; those already realised are given it.
        for (Window* window : self.windows_) {
            if (!gtk_widget_get_realized(GTK_WIDGET(window->gtkWindow()))) continue;
            if (icons) {
                gtk_window_set_icon_list(window->gtkWindow(), icons);
            } else {
                gtk_window_set_icon_name(window->gtkWindow(), self.iconName.c_str());
            }
        }
        g_list_free_full(icons, g_object_unref);
    }
    return G_SOURCE_REMOVE;
}

void Desktop::removeWindow(Window* window) {
    windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
    hiddenByHide_.erase(std::remove(hiddenByHide_.begin(), hiddenByHide_.end(), window), hiddenByHide_.end());
    if (keyWindow_ == window) keyWindow_ = nullptr;
}

bool Desktop::hasVisibleWindows() const {
    return std::any_of(windows_.begin(), windows_.end(), [](Window* w) { return w->isVisible(); });
}

// Hiding other programs' windows is the window manager's business; no desktop here offers it
// to an application.
bool Desktop::canPerform(StandardAction action) const { return action != StandardAction::HideOthers; }

void Desktop::perform(StandardAction action) {
    Window* window = keyWindow();
    switch (action) {
    case StandardAction::About:
        gtk_show_about_dialog(window ? window->gtkWindow() : nullptr, "program-name", applicationName.c_str(),
                              "logo-icon-name", iconName.c_str(), "version", DRALMIK_VERSION, nullptr);
        return;
    case StandardAction::Hide:
        hiddenByHide_.clear();
        for (Window* w : windows_) {
            if (w->isVisible()) {
                hiddenByHide_.push_back(w);
                w->hide();
            }
        }
        return;
    case StandardAction::ShowAll:
        for (Window* w : hiddenByHide_) w->makeKeyAndOrderFront();
        hiddenByHide_.clear();
        return;
    case StandardAction::HideOthers: return;
    case StandardAction::Quit:
        if (terminate) terminate();
        return;
    case StandardAction::Undo:
    case StandardAction::Redo:
    case StandardAction::Cut:
    case StandardAction::Copy:
    case StandardAction::Paste:
    case StandardAction::SelectAll: {
        static constexpr struct {
            StandardAction action;
            const char* command;
        } kEditing[] = {{StandardAction::Undo, WEBKIT_EDITING_COMMAND_UNDO},
                        {StandardAction::Redo, WEBKIT_EDITING_COMMAND_REDO},
                        {StandardAction::Cut, WEBKIT_EDITING_COMMAND_CUT},
                        {StandardAction::Copy, WEBKIT_EDITING_COMMAND_COPY},
                        {StandardAction::Paste, WEBKIT_EDITING_COMMAND_PASTE},
                        {StandardAction::SelectAll, WEBKIT_EDITING_COMMAND_SELECT_ALL}};
        WebView* view = window ? window->webView() : nullptr;
        if (!view) return;
        for (const auto& entry : kEditing) {
            if (entry.action == action) view->executeEditingCommand(entry.command);
        }
        return;
    }
    case StandardAction::Minimize:
        if (window) window->miniaturize();
        return;
    case StandardAction::Close:
        if (window && window->isVisible()) window->performClose();
        return;
    }
}

}  // namespace dralmik::gtk
