#include "platform/gtk/frame_store.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>

#include "platform/posix/file_io.h"

namespace dralmik::gtk {

namespace {

// A coordinate far off screen still fits the toolkit's integers.
int toPixel(double value) {
    constexpr double kLimit = 1 << 30;
    return static_cast<int>(std::lround(std::clamp(value, -kLimit, kLimit)));
}

long long overlap(long long start1, long long length1, long long start2, long long length2) {
    return std::max(0LL, std::min(start1 + length1, start2 + length2) - std::max(start1, start2));
}

}  // namespace

PixelFrame toPixelFrame(const Rect& frame, double screenHeight) {
    PixelFrame p;
    p.width = std::max(1, toPixel(std::ceil(frame.size.width - 1e-9)));
    p.height = std::max(1, toPixel(std::ceil(frame.size.height - 1e-9)));
    p.x = toPixel(frame.origin.x);
    p.top = toPixel(screenHeight - (frame.origin.y + frame.size.height));
    return p;
}

PixelFrame keepTitleBarReachable(PixelFrame frame, const std::vector<PixelFrame>& monitors) {
    if (monitors.empty()) return frame;
    // The monitor that shows most of the title bar, or else the one nearest to its middle.
    const PixelFrame* best = nullptr;
    long long bestOverlap = 0;
    long long bestDistance = std::numeric_limits<long long>::max();
    const long long middleX = static_cast<long long>(frame.x) + frame.width / 2;
    for (const PixelFrame& m : monitors) {
        const long long shown = overlap(frame.x, frame.width, m.x, m.width) * overlap(frame.top, kTitleBarHeight, m.top, m.height);
        const long long dx = std::max({0LL, m.x - middleX, middleX - (static_cast<long long>(m.x) + m.width)});
        const long long dy = std::max({0LL, static_cast<long long>(m.top) - frame.top, frame.top - (static_cast<long long>(m.top) + m.height)});
        const long long distance = dx * dx + dy * dy;
        if (shown > bestOverlap || (bestOverlap == 0 && shown == 0 && distance < bestDistance)) {
            best = &m;
            bestOverlap = shown;
            bestDistance = distance;
        }
    }
    const PixelFrame& m = *best;
    long long onScreen = 0;
    for (const PixelFrame& each : monitors) {
        onScreen += overlap(frame.x, frame.width, each.x, each.width) * overlap(frame.top, frame.height, each.top, each.height);
    }
    if (2 * onScreen < static_cast<long long>(frame.width) * frame.height) {
        frame.x = std::clamp(frame.x, m.x, std::max(m.x, m.x + m.width - frame.width));
        frame.top = std::clamp(frame.top, m.top, std::max(m.top, m.top + m.height - frame.height));
        return frame;
    }
    const int grip = std::min(kTitleBarGrip, frame.width);
    frame.top = std::clamp(frame.top, m.top, std::max(m.top, m.top + m.height - kTitleBarHeight));
    frame.x = std::clamp(frame.x, m.x + grip - frame.width, std::max(m.x + grip - frame.width, m.x + m.width - grip));
    return frame;
}

bool onAnyMonitor(const PixelFrame& frame, const std::vector<PixelFrame>& monitors) {
    return std::any_of(monitors.begin(), monitors.end(), [&](const PixelFrame& m) {
        return overlap(frame.x, frame.width, m.x, m.width) > 0 && overlap(frame.top, frame.height, m.top, m.height) > 0;
    });
}

PixelFrame placeInWorkArea(PixelFrame frame, const PixelFrame& area) {
    const long long freeWidth = std::max(0LL, static_cast<long long>(area.width) - frame.width);
    const long long freeHeight = std::max(0LL, static_cast<long long>(area.height) - frame.height);
    frame.x = static_cast<int>(area.x + freeWidth / 2);
    frame.top = static_cast<int>(area.top + freeHeight / 3);
    return frame;
}

PixelFrame placeMenuAt(int x, int y, PixelFrame menu, const PixelFrame& area) {
    // Along one axis: from the point onwards where that fits before the area's end, else
    // ending at the point; then into the area, its start first.
    auto place = [](long long at, long long length, long long start, long long areaLength) {
        const long long end = start + areaLength;
        long long from = at + length <= end ? at : std::min(at, end) - length;
        from = std::min(from, end - length);
        return static_cast<int>(std::max(from, start));
    };
    menu.x = place(x, menu.width, area.x, area.width);
    menu.top = place(y, menu.height, area.top, area.height);
    return menu;
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

bool FrameStore::save(const std::string& name, const PixelFrame& p, bool withPosition) const {
    GKeyFile* file = g_key_file_new();
    // Other names in the same file are kept.
    g_key_file_load_from_file(file, path_.c_str(), G_KEY_FILE_KEEP_COMMENTS, nullptr);
    if (withPosition) {
        g_key_file_set_integer(file, name.c_str(), "left", p.x);
        g_key_file_set_integer(file, name.c_str(), "top", p.top);
    }
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
