#include "platform/gtk/workspace.h"

#include <gio/gio.h>

namespace dralmik::gtk {

bool Workspace::openURL(const Url& url) {
    GError* error = nullptr;
    const bool ok = g_app_info_launch_default_for_uri(url.string().c_str(), nullptr, &error);
    g_clear_error(&error);
    return ok;
}

}  // namespace dralmik::gtk
