#pragma once
// Notices as GNotifications of the application: GLib hands them to the desktop's notification
// service (org.gtk.Notifications where the shell has it, org.freedesktop.Notifications
// otherwise), naming the application's id and desktop entry. A click on a notice activates the
// application's action "app.notice" with the notice's id, which runs the notice's action.
#include <functional>
#include <map>
#include <string>

#include "platform/notifications.h"

namespace dralmik::gtk {

class Application;

class Notifications final : public dralmik::Notifications {
public:
    explicit Notifications(Application& application) : application_(application) {}
    void post(const Notice& notice) override;

private:
    Application& application_;
    bool actionAdded_ = false;
    int posted_ = 0;
    std::map<std::string, std::function<void()>> actions_;
};

}  // namespace dralmik::gtk
