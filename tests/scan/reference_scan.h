#pragma once
// The plain way to find the announcement: split all of the output, and take the first line
// whose trimmed text has one of the two prefixes and parses whole. Quadratic when run after
// every chunk, which is why the application does not; the tests and the benchmark hold the
// incremental scanner against it.
#include <optional>
#include <string_view>

#include "app/gateway/scanner.h"

namespace dralmik::testing {

inline std::optional<Url> referenceScan(std::string_view output) {
    for (const std::string& line : splitLines(output)) {
        const std::string_view text = trimLineWhitespace(line);
        if (!text.starts_with("http://localhost:") && !text.starts_with("https://localhost:")) continue;
        if (auto url = Url::parse(text)) return url;
    }
    return std::nullopt;
}

}  // namespace dralmik::testing
