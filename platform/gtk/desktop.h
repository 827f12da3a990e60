#pragma once
// What the backend's desktop objects share: the application's name, its windows and which one
// has the focus, the activation policy, the main menu's shortcuts, and the standard actions of
// menu items, carried out here in one place. Main thread only.
#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/application.h"
#include "platform/menu.h"

namespace dralmik::gtk {

class Window;

class Desktop {
public:
    std::string applicationName = "Dralmik LLM Gateway";
    std::string iconName = "applications-internet";  // the bundle's icon, named by its identifier
    std::string iconFile;                            // and its file, where there is one
    std::vector<std::string> windowIconFiles;        // the icon as PNG files, for the windows
    ActivationPolicy policy = ActivationPolicy::Regular;
    std::function<void()> terminate;        // the application's normal terminate path
    std::function<void()> lastWindowClosed;  // the application decides whether that ends it

    GtkAccelGroup* accelGroup();
    const std::vector<Window*>& windows() const { return windows_; }
    Window* keyWindow() const;
    void setKeyWindow(Window* window) { keyWindow_ = window; }
    void addWindow(Window* window);
    void removeWindow(Window* window);
    bool hasVisibleWindows() const;
    // Called by the menu that lists the windows once it exists.
    std::function<void(Window*)> windowAdded;

    // The activation token that the next window brought forward presents with (from the tray
    // host or the notification server): taken once.
    void setActivationToken(std::string token) { activationToken_ = std::move(token); }
    std::string takeActivationToken() { return std::exchange(activationToken_, {}); }

    bool canPerform(StandardAction action) const;
    void perform(StandardAction action);

    // The theme's dark variant and the application's icon on its windows. Each costs tens of
    // milliseconds (the whole theme is parsed again; the icon theme is read and the icon drawn),
    // so they are applied at the main loop's next turn: after the caller's own work (at launch,
    // the rest of the launch sequence and the gateway's start), and still before anything is
    // laid out or drawn, so no window is ever seen without them.
    void preferDarkTheme();
    void useApplicationIcon();

private:
    void applyLooksSoon();
    static gboolean applyLooks(gpointer);

    std::string activationToken_;
    bool darkPending_ = false;
    bool iconPending_ = false;
    guint looksSource_ = 0;
    GtkAccelGroup* accelGroup_ = nullptr;
    std::vector<Window*> windows_;
    Window* keyWindow_ = nullptr;
    std::vector<Window*> hiddenByHide_;
};

Desktop& desktop();

}  // namespace dralmik::gtk
