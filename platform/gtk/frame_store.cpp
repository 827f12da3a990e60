#include "platform/gtk/frame_store.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <cmath>
#include <string_view>

#include "platform/posix/file_io.h"

namespace dralmik::gtk {

PixelFrame toPixelFrame(const Rect& frame, double screenHeight) {
    PixelFrame p;
    p.width = static_cast<int>(std::ceil(frame.size.width - 1e-9));
    p.height = static_cast<int>(std::ceil(frame.size.height - 1e-9));
    p.x = static_cast<int>(std::lround(frame.origin.x));
    p.top = static_cast<int>(std::lround(screenHeight - (frame.origin.y + frame.size.height)));
    return p;
}

Rect toCoreFrame(const PixelFrame& p, double screenHeight) {
    return Rect{{static_cast<double>(p.x), screenHeight - p.top - p.height},
                {static_cast<double>(p.width), static_cast<double>(p.height)}};
}

FrameStore::FrameStore(std::string path) : path_(std::move(path)) {}

std::optional<PixelFrame> FrameStore::load(const std::string& name) const {
    GKeyFile* file = g_key_file_new();
    std::optional<PixelFrame> result;
    if (g_key_file_load_from_file(file, path_.c_str(), G_KEY_FILE_NONE, nullptr)) {
        GError* error = nullptr;
        PixelFrame p;
        p.x = g_key_file_get_integer(file, name.c_str(), "left", &error);
        if (!error) p.top = g_key_file_get_integer(file, name.c_str(), "top", &error);
        if (!error) p.width = g_key_file_get_integer(file, name.c_str(), "width", &error);
        if (!error) p.height = g_key_file_get_integer(file, name.c_str(), "height", &error);
        if (!error && p.width > 0 && p.height > 0) result = p;
        g_clear_error(&error);
    }
    g_key_file_free(file);
    return result;
}

bool FrameStore::save(const std::string& name, const PixelFrame& p) const {
    GKeyFile* file = g_key_file_new();
    // Other names in the same file are kept.
    g_key_file_load_from_file(file, path_.c_str(), G_KEY_FILE_KEEP_COMMENTS, nullptr);
    g_key_file_set_integer(file, name.c_str(), "left", p.x);
    g_key_file_set_integer(file, name.c_str(), "top", p.top);
    g_key_file_set_integer(file, name.c_str(), "width", p.width);
    g_key_file_set_integer(file, name.c_str(), "height", p.height);
    gsize length = 0;
    gchar* data = g_key_file_to_data(file, &length, nullptr);
    g_key_file_free(file);
    const bool ok = data && posix::writeFileCreatingFolders(path_, std::string_view(data, length));
    g_free(data);
    return ok;
}

}  // namespace dralmik::gtk
