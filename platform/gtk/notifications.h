#pragma once
// Notices over org.freedesktop.Notifications, which every notification server serves (GNOME's
// shell too, with no desktop entry needed): the server's answer says whether the notice was
// taken, and a click comes back as its default action, after the activation token the server
// hands out for it, which the window then presents with.
#include <gio/gio.h>

#include <functional>
#include <map>
#include <string>

#include "platform/notifications.h"

namespace dralmik::gtk {

class Notifications final : public dralmik::Notifications {
public:
    Notifications() = default;
    ~Notifications() override;
    void post(const Notice& notice) override;

private:
    static void onSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* signal,
                         GVariant* parameters, gpointer self);
    void listen();

    GDBusConnection* bus_ = nullptr;
    guint subscription_ = 0;
    // The clicks' actions by the server's id of each notice shown.
    std::map<guint32, std::function<void()>> actions_;
};

}  // namespace dralmik::gtk
