#include "platform/gtk/single_instance.h"

#include <gtk/gtk.h>

#include <string>

#include "platform/gtk/application.h"
#include "platform/gtk/desktop.h"

namespace dralmik::gtk {

bool SingleInstance::claimPrimary(const std::string& bundleIdentifier) {
    // An identifier the bus cannot carry leaves nothing to be unique by.
    if (!application_.setApplicationId(bundleIdentifier) || !application_.registerOnce()) return true;
    return !g_application_get_is_remote(G_APPLICATION(application_.gtkApplication()));
}

void SingleInstance::reopenPrimary() {
    GApplication* app = G_APPLICATION(application_.gtkApplication());
    if (!application_.registerOnce() || !g_application_get_is_remote(app)) return;
    // The launcher's token goes with it, so that the running copy's window may take the focus.
    // GTK sends an X11 startup id itself, and nothing of a Wayland token.
    const std::string token = desktop().takeActivationToken();
    GDBusConnection* bus = g_application_get_dbus_connection(app);
    const char* path = g_application_get_dbus_object_path(app);
    if (!token.empty() && bus && path) {
        GVariantBuilder data;
        g_variant_builder_init(&data, G_VARIANT_TYPE_VARDICT);
        g_variant_builder_add(&data, "{sv}", "activation-token", g_variant_new_string(token.c_str()));
        g_variant_builder_add(&data, "{sv}", "desktop-startup-id", g_variant_new_string(token.c_str()));
        GVariant* reply = g_dbus_connection_call_sync(bus, g_application_get_application_id(app), path,
                                                      "org.gtk.Application", "Activate", g_variant_new("(a{sv})", &data),
                                                      nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
        if (reply) {
            g_variant_unref(reply);
            return;
        }
    }
    g_application_activate(app);
    // activate() on a remote only queues the D-Bus call; the process exits right after.
    if (GDBusConnection* bus = g_application_get_dbus_connection(app)) g_dbus_connection_flush_sync(bus, nullptr, nullptr);
}

}  // namespace dralmik::gtk
