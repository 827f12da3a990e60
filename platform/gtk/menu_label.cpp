#include "platform/gtk/menu_label.h"

#include <glib.h>

namespace dralmik::gtk {

std::string menuLabel(std::string_view title) {
    if (!g_utf8_validate(title.data(), static_cast<gssize>(title.size()), nullptr)) {
        gchar* valid = g_utf8_make_valid(title.data(), static_cast<gssize>(title.size()));
        std::string label = menuLabel(valid);
        g_free(valid);
        return label;
    }
    std::string line;
    long characters = 0;
    bool spaceBefore = false;
    const char* end = title.data() + title.size();
    for (const char* p = title.data(); p < end && characters <= kMaximumLabelCharacters;) {
        const char* next = g_utf8_next_char(p);
        if (g_unichar_isspace(g_utf8_get_char(p))) {
            spaceBefore = characters > 0;
        } else {
            if (spaceBefore) {
                line += ' ';
                ++characters;
                spaceBefore = false;
            }
            line.append(p, next);
            ++characters;
        }
        p = next;
    }
    if (characters > kMaximumLabelCharacters) {
        line.resize(g_utf8_offset_to_pointer(line.c_str(), kMaximumLabelCharacters - 1) - line.c_str());
        if (!line.empty() && line.back() == ' ') line.pop_back();
        line += "\u2026";
    }
    std::string label;
    label.reserve(line.size());
    for (char c : line) {
        if (c == '_') label += '_';
        label += c;
    }
    return label;
}

}  // namespace dralmik::gtk
