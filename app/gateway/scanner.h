#pragma once
// Reading the gateway's announcement out of its output. The gateway announces where it serves
// with a line that begins with "http://localhost:" or "https://localhost:"; the first line
// (in order) whose trimmed text has one of those prefixes and parses whole as a URL is the
// announcement. Lines are cut at U+000A, U+000B, U+000C, U+000D, U+0085, U+2028 and U+2029;
// empty pieces are no lines, and the piece after the last line break is a line of its own.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/url.h"

namespace dralmik {

// The non-empty pieces of UTF-8 text between line breaks, unchanged and in order.
std::vector<std::string> splitLines(std::string_view text);

// The line without U+0009 and without the space separators (general category Zs: U+0020,
// U+00A0, U+1680, U+2000-U+200A, U+202F, U+205F, U+3000) at either end.
std::string_view trimLineWhitespace(std::string_view line);

// The URL a single line announces, if it does: trimmed, one of the two prefixes, parsed whole.
std::optional<Url> announcedUrl(std::string_view line);

// Finds the announcement in output that only grows, answering at each call what a scan of all
// of the output from its beginning would answer, while looking only at the text added since
// the last call and the last line, which may still grow. It relies on two facts: a line that
// was complete (followed by a line break) and did not announce never will, since its text can
// no longer change; and a complete line that did announce stays the first one that does. The
// last line is judged again in its current form at every call, so a URL line cut over two
// chunks is taken as its first part if that already parses.
class OutputScanner {
public:
    // The output was emptied; the next call starts from its beginning.
    void reset();

    // `output` is the whole output so far, the output of the previous call plus what came
    // since. Output that is shorter than before is taken as a new output.
    std::optional<Url> scan(std::string_view output);

private:
    std::size_t lineStart_ = 0;  // where the last, still open line begins
    std::size_t scanned_ = 0;    // how far line breaks have been looked for
    std::optional<Url> found_;   // the announcement of a complete line, which stays
};

}  // namespace dralmik
