#include "platform/gtk/notifications.h"

#include <memory>

#include "platform/gtk/desktop.h"

namespace dralmik::gtk {
namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
// How long a server (one the bus starts on demand included) has to take a notice: a notice not
// shown by then is taken as not shown, and the window opens instead.
constexpr int kNoticeTimeoutMs = 5000;

// What a Notify call carries until its answer comes.
struct Pending {
    std::map<guint32, std::function<void()>>& actions;
    std::function<void()> action;
    std::function<void()> undelivered;
};

}  // namespace

Notifications::~Notifications() {
    if (subscription_) g_dbus_connection_signal_unsubscribe(bus_, subscription_);
    if (bus_) g_object_unref(bus_);
}

void Notifications::listen() {
    if (bus_) return;
    bus_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus_) return;
    subscription_ = g_dbus_connection_signal_subscribe(bus_, nullptr, kService, nullptr, kPath, nullptr,
                                                       G_DBUS_SIGNAL_FLAGS_NONE, onSignal, this, nullptr);
}

void Notifications::post(const Notice& notice) {
    listen();
    // The session bus may have gone with the session.
    if (!bus_ || g_dbus_connection_is_closed(bus_)) {
        if (notice.undelivered) notice.undelivered();
        return;
    }
    GVariantBuilder actions;
    g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
    g_variant_builder_add(&actions, "s", "default");
    g_variant_builder_add(&actions, "s", "Open");
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&hints, "{sv}", "desktop-entry", g_variant_new_string(desktop().iconName.c_str()));
    // The icon by its file, which servers find wherever the application runs from.
    const std::string icon = desktop().iconFile.empty() ? desktop().iconName : "file://" + desktop().iconFile;
    auto* pending = new Pending{actions_, notice.action, notice.undelivered};
    g_dbus_connection_call(
        bus_, kService, kPath, kService, "Notify",
        g_variant_new("(susssasa{sv}i)", desktop().applicationName.c_str(), 0u, icon.c_str(),
                      notice.title.c_str(), notice.body.c_str(), &actions, &hints, -1),
        G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, kNoticeTimeoutMs, nullptr,
        [](GObject* bus, GAsyncResult* result, gpointer data) {
            std::unique_ptr<Pending> pending(static_cast<Pending*>(data));
            GError* error = nullptr;
            GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &error);
            if (!reply) {
                // No server runs, or it refused the notice.
                g_error_free(error);
                if (pending->undelivered) pending->undelivered();
                return;
            }
            guint32 id = 0;
            g_variant_get(reply, "(u)", &id);
            g_variant_unref(reply);
            pending->actions[id] = pending->action;
        },
        pending);
}

void Notifications::onSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* signal,
                             GVariant* parameters, gpointer data) {
    auto* self = static_cast<Notifications*>(data);
    guint32 id = 0;
    const gchar* text = nullptr;
    if (g_str_equal(signal, "ActivationToken") && g_variant_is_of_type(parameters, G_VARIANT_TYPE("(us)"))) {
        // Comes just before the click's action, for the window that action brings forward.
        g_variant_get(parameters, "(u&s)", &id, &text);
        if (self->actions_.count(id)) desktop().setActivationToken(text);
    } else if (g_str_equal(signal, "ActionInvoked") && g_variant_is_of_type(parameters, G_VARIANT_TYPE("(us)"))) {
        g_variant_get(parameters, "(u&s)", &id, &text);
        auto found = self->actions_.find(id);
        if (found == self->actions_.end()) return;
        auto action = found->second;
        self->actions_.erase(found);
        if (action) action();
    } else if (g_str_equal(signal, "NotificationClosed") && g_variant_is_of_type(parameters, G_VARIANT_TYPE("(uu)"))) {
        g_variant_get(parameters, "(uu)", &id, nullptr);
        self->actions_.erase(id);
    }
}

}  // namespace dralmik::gtk
