#pragma once
// Notices over org.freedesktop.Notifications, which every notification server serves (GNOME's
// shell too, with no desktop entry needed): the server's answer says whether the notice was
// taken, and a click comes back as its default action, after the activation token the server
// hands out for it, which the window then presents with. A notice withdrawn is closed on the
// server (CloseNotification), at once or as soon as the server has said which notice it is.
#include <gio/gio.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/notifications.h"

namespace dralmik::gtk {

class Notifications final : public dralmik::Notifications {
public:
    Notifications() = default;
    ~Notifications() override;
    std::shared_ptr<PostedNotice> post(const Notice& notice) override;

    // One notice from its Notify call on: its actions, and the server's id once known.
    struct Record {
        std::function<void()> action;
        std::function<void()> undelivered;
        guint32 id = 0;
        bool withdrawn = false;
    };
    void withdraw(Record& record);

private:
    static void onSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* signal,
                         GVariant* parameters, gpointer self);
    void listen();

    GDBusConnection* bus_ = nullptr;
    guint subscription_ = 0;
    // The notices shown, by the server's id.
    std::map<guint32, std::shared_ptr<Record>> shown_;
};

}  // namespace dralmik::gtk
