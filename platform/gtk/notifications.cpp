#include "platform/gtk/notifications.h"

#include "platform/gtk/application.h"

namespace dralmik::gtk {

void Notifications::post(const Notice& notice) {
    GApplication* app = G_APPLICATION(application_.gtkApplication());
    // Only a registered application with an id can send notices and hear their clicks.
    if (!g_application_get_is_registered(app) || !g_application_get_application_id(app)) return;
    if (!actionAdded_) {
        actionAdded_ = true;
        GSimpleAction* action = g_simple_action_new("notice", G_VARIANT_TYPE_STRING);
        g_signal_connect(action, "activate", G_CALLBACK(+[](GSimpleAction*, GVariant* id, gpointer self) {
                             auto& actions = static_cast<Notifications*>(self)->actions_;
                             auto found = actions.find(g_variant_get_string(id, nullptr));
                             if (found != actions.end() && found->second) found->second();
                         }),
                         this);
        g_action_map_add_action(G_ACTION_MAP(app), G_ACTION(action));
        g_object_unref(action);
    }
    const std::string id = "notice-" + std::to_string(++posted_);
    actions_[id] = notice.action;
    GNotification* notification = g_notification_new(notice.title.c_str());
    g_notification_set_body(notification, notice.body.c_str());
    g_notification_set_default_action_and_target(notification, "app.notice", "s", id.c_str());
    g_application_send_notification(app, id.c_str(), notification);
    g_object_unref(notification);
}

}  // namespace dralmik::gtk
