#include "platform/gtk/single_instance.h"

#include <string>

#include "common/launch_timeline.h"
#include "platform/gtk/application.h"
#include "platform/gtk/desktop.h"

namespace dralmik::gtk {
namespace {

// No call of the claim or the hand-off waits longer than this for the bus (the hand-off itself
// awaits no answer from the running copy).
constexpr int kBusTimeoutMs = 5000;
// RequestName's flag and answer (the D-Bus specification's numbers).
constexpr guint32 kDoNotQueue = 0x4;
constexpr guint32 kNameExists = 3;

}  // namespace

SingleInstance::~SingleInstance() {
    if (bus_) g_object_unref(bus_);
}

bool SingleInstance::claimPrimary(const std::string& bundleIdentifier) {
    // An identifier the bus cannot carry leaves nothing to be unique by.
    if (!application_.setApplicationId(bundleIdentifier)) return true;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus) return true;
    // The name is ours from the answer on, long before the application serves the hand-off at
    // its object path: a second copy's call in between is kept until then.
    application_.holdReopensUntilRegistered(bus);
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
        g_variant_new("(su)", bundleIdentifier.c_str(), kDoNotQueue), G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE,
        kBusTimeoutMs, nullptr, nullptr);
    launchStep("name claimed on the bus");
    // A bus that cannot answer is no bus to be unique on.
    guint32 answer = 0;
    if (reply) {
        g_variant_get(reply, "(u)", &answer);
        g_variant_unref(reply);
    }
    if (answer != kNameExists) {
        g_object_unref(bus);
        return true;
    }
    bus_ = bus;
    owned_ = bundleIdentifier;
    return false;
}

void SingleInstance::reopenPrimary() {
    if (!bus_) return;
    // The launcher's token goes with it, so that the running copy's window may take the focus:
    // a Wayland activation token (which GTK hands to the display under either key), or else
    // X11's startup id.
    std::string token = desktop().takeActivationToken();
    const bool wayland = !token.empty();
    if (!wayland) {
        const char* startupId = g_getenv("DESKTOP_STARTUP_ID");
        if (startupId && g_utf8_validate(startupId, -1, nullptr)) token = startupId;
    }
    GVariantBuilder data;
    g_variant_builder_init(&data, G_VARIANT_TYPE_VARDICT);
    if (wayland) g_variant_builder_add(&data, "{sv}", "activation-token", g_variant_new_string(token.c_str()));
    if (!token.empty()) g_variant_builder_add(&data, "{sv}", "desktop-startup-id", g_variant_new_string(token.c_str()));
    // Sent with no answer awaited (no callback), so a running copy that is stopped or busy
    // cannot hold this one: the bus keeps the call for it. The outcome is not looked at.
    g_dbus_connection_call(bus_, owned_.c_str(), Application::objectPath(owned_).c_str(), "org.gtk.Application",
                           "Activate", g_variant_new("(a{sv})", &data), nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START,
                           kBusTimeoutMs, nullptr, nullptr, nullptr);
    g_dbus_connection_flush_sync(bus_, nullptr, nullptr);
}

}  // namespace dralmik::gtk
