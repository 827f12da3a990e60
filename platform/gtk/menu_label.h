#pragma once
// How a menu item's title reads in GTK and over dbusmenu.
#include <string>
#include <string_view>

namespace dralmik::gtk {

// How much of a title a menu shows: a page may set a state of megabytes, and every copy of the
// menu (the tray host's over the bus included) would carry it all.
inline constexpr long kMaximumLabelCharacters = 80;

// One line: every run of white space (line breaks included) becomes one space and the ends are
// trimmed; then at most kMaximumLabelCharacters characters, cut with an ellipsis; and every
// underscore doubled, so that none is taken for a mnemonic. Reads no further into the title
// than the cut needs. Text that is not UTF-8 has its bad bytes replaced first.
std::string menuLabel(std::string_view title);

}  // namespace dralmik::gtk
