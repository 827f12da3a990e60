#include "platform/gtk/workspace.h"

#include <gio/gio.h>

namespace dralmik::gtk {

bool Workspace::openURL(const Url& url) {
    // The program opened gets the environment this process was started with.
    GAppLaunchContext* context = g_app_launch_context_new();
    for (const auto& name : ownVariables_) g_app_launch_context_unsetenv(context, name.c_str());
    GError* error = nullptr;
    const bool ok = g_app_info_launch_default_for_uri(url.string().c_str(), context, &error);
    g_clear_error(&error);
    g_object_unref(context);
    return ok;
}

}  // namespace dralmik::gtk
