#include "platform/gtk/single_instance.h"

#include <gtk/gtk.h>

#include "platform/gtk/application.h"

namespace dralmik::gtk {

bool SingleInstance::claimPrimary(const std::string& bundleIdentifier) {
    // An identifier the bus cannot carry leaves nothing to be unique by.
    if (!application_.setApplicationId(bundleIdentifier) || !application_.registerOnce()) return true;
    return !g_application_get_is_remote(G_APPLICATION(application_.gtkApplication()));
}

void SingleInstance::reopenPrimary() {
    GApplication* app = G_APPLICATION(application_.gtkApplication());
    if (!application_.registerOnce() || !g_application_get_is_remote(app)) return;
    // The launcher's token goes with the hand-off, so that the running copy's window may take
    // the focus: GTK sends the startup id (X11's, and the token of a Wayland launcher that sets
    // it too) from the environment; a token given only as XDG_ACTIVATION_TOKEN goes the same way.
    const char* token = g_getenv("XDG_ACTIVATION_TOKEN");
    if (token && *token && g_utf8_validate(token, -1, nullptr)) g_setenv("DESKTOP_STARTUP_ID", token, FALSE);
    g_application_activate(app);
    // activate() on a remote only queues the D-Bus call; the process exits right after.
    if (GDBusConnection* bus = g_application_get_dbus_connection(app)) g_dbus_connection_flush_sync(bus, nullptr, nullptr);
}

}  // namespace dralmik::gtk
