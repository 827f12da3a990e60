#include "platform/gtk/notifications.h"

#include <memory>
#include <utility>

#include "platform/gtk/desktop.h"

namespace dralmik::gtk {
namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
// How long a server (one the bus starts on demand included) has to take a notice: a notice not
// shown by then is taken as not shown, and the window opens instead.
constexpr int kNoticeTimeoutMs = 5000;

// What a Notify call's answer goes to.
struct Pending {
    Notifications* self;
    std::shared_ptr<Notifications::Record> record;
};

class Posted final : public PostedNotice {
public:
    Posted(Notifications& notifications, std::shared_ptr<Notifications::Record> record)
        : notifications_(notifications), record_(std::move(record)) {}
    void withdraw() override { notifications_.withdraw(*record_); }

private:
    Notifications& notifications_;
    std::shared_ptr<Notifications::Record> record_;
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

std::shared_ptr<PostedNotice> Notifications::post(const Notice& notice) {
    listen();
    auto record = std::make_shared<Record>(Record{notice.action, notice.undelivered});
    auto posted = std::make_shared<Posted>(*this, record);
    // The session bus may have gone with the session.
    if (!bus_ || g_dbus_connection_is_closed(bus_)) {
        if (notice.undelivered) notice.undelivered();
        return posted;
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
    g_dbus_connection_call(
        bus_, kService, kPath, kService, "Notify",
        g_variant_new("(susssasa{sv}i)", desktop().applicationName.c_str(), 0u, icon.c_str(),
                      notice.title.c_str(), notice.body.c_str(), &actions, &hints, -1),
        G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, kNoticeTimeoutMs, nullptr,
        [](GObject* bus, GAsyncResult* result, gpointer data) {
            std::unique_ptr<Pending> pending(static_cast<Pending*>(data));
            Record& record = *pending->record;
            GError* error = nullptr;
            GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &error);
            if (!reply) {
                // No server runs, or it refused the notice.
                g_error_free(error);
                if (!record.withdrawn && record.undelivered) record.undelivered();
                return;
            }
            g_variant_get(reply, "(u)", &record.id);
            g_variant_unref(reply);
            if (record.withdrawn) {
                pending->self->withdraw(record);  // withdrawn before the server said which it is
            } else {
                pending->self->shown_[record.id] = pending->record;
            }
        },
        new Pending{this, record});
    return posted;
}

void Notifications::withdraw(Record& record) {
    record.withdrawn = true;
    record.action = nullptr;
    record.undelivered = nullptr;
    // Not known yet (closed as soon as the server says which notice it is), or gone already.
    if (!record.id) return;
    const guint32 id = std::exchange(record.id, 0);
    shown_.erase(id);
    if (!bus_ || g_dbus_connection_is_closed(bus_)) return;
    g_dbus_connection_call(bus_, kService, kPath, kService, "CloseNotification", g_variant_new("(u)", id), nullptr,
                           G_DBUS_CALL_FLAGS_NONE, kNoticeTimeoutMs, nullptr, nullptr, nullptr);
}

void Notifications::onSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* signal,
                             GVariant* parameters, gpointer data) {
    auto* self = static_cast<Notifications*>(data);
    guint32 id = 0;
    const gchar* text = nullptr;
    if (g_str_equal(signal, "ActivationToken") && g_variant_is_of_type(parameters, G_VARIANT_TYPE("(us)"))) {
        // Comes just before the click's action, for the window that action brings forward.
        g_variant_get(parameters, "(u&s)", &id, &text);
        if (self->shown_.count(id)) desktop().setActivationToken(text);
    } else if (g_str_equal(signal, "ActionInvoked") && g_variant_is_of_type(parameters, G_VARIANT_TYPE("(us)"))) {
        g_variant_get(parameters, "(u&s)", &id, &text);
        auto found = self->shown_.find(id);
        if (found == self->shown_.end()) return;
        auto action = found->second->action;
        found->second->action = nullptr;  // once; the notice may stay until withdrawn or closed
        if (action) action();
    } else if (g_str_equal(signal, "NotificationClosed") && g_variant_is_of_type(parameters, G_VARIANT_TYPE("(uu)"))) {
        g_variant_get(parameters, "(uu)", &id, nullptr);
        auto found = self->shown_.find(id);
        if (found == self->shown_.end()) return;
        found->second->id = 0;  // nothing left to withdraw
        self->shown_.erase(found);
    }
}

}  // namespace dralmik::gtk
