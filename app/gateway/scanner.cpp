#include "app/gateway/scanner.h"

#include <array>

namespace dralmik {

namespace {

constexpr std::string_view kPrefixes[] = {"http://localhost:", "https://localhost:"};

// Bytes that can begin a line break: the four ASCII controls, and the lead bytes of U+0085
// (C2 85) and of U+2028/U+2029 (E2 80 A8/A9).
constexpr std::array<bool, 256> kBreakLeads = [] {
    std::array<bool, 256> leads{};
    for (int c = 0x0A; c <= 0x0D; ++c) leads[c] = true;
    leads[0xC2] = true;
    leads[0xE2] = true;
    return leads;
}();

// The length of the line break that begins at `at`, or 0. No break sequence can begin inside
// another one (their later bytes are never a break's first byte), so where a search starts
// never changes which breaks it finds.
inline std::size_t breakAt(const unsigned char* data, std::size_t at, std::size_t size) {
    const unsigned char c = data[at];
    if (c >= 0x0A && c <= 0x0D) return 1;
    if (c == 0xC2) return at + 1 < size && data[at + 1] == 0x85 ? 2 : 0;
    if (c == 0xE2 && at + 2 < size && data[at + 1] == 0x80 && (data[at + 2] == 0xA8 || data[at + 2] == 0xA9)) {
        return 3;
    }
    return 0;
}

// Where the next line break at or after `from` begins (`size` when there is none); its length
// goes to `length`.
inline std::size_t findBreak(const unsigned char* data, std::size_t from, std::size_t size,
                             std::size_t& length) {
    for (std::size_t i = from; i < size; ++i) {
        if (!kBreakLeads[data[i]]) continue;
        length = breakAt(data, i, size);
        if (length != 0) return i;
    }
    length = 0;
    return size;
}

// The length of the whitespace character (U+0009 or Zs) at the front of `text`, or 0.
std::size_t leadingSpace(std::string_view text) {
    if (text.empty()) return 0;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char c = byte(0);
    if (c == 0x09 || c == 0x20) return 1;
    if (c == 0xC2) return text.size() >= 2 && byte(1) == 0xA0 ? 2 : 0;
    if (text.size() < 3) return 0;
    const unsigned char c1 = byte(1), c2 = byte(2);
    switch (c) {
        case 0xE1:  // U+1680
            return c1 == 0x9A && c2 == 0x80 ? 3 : 0;
        case 0xE2:  // U+2000-U+200A, U+202F; U+205F
            if (c1 == 0x80 && ((c2 >= 0x80 && c2 <= 0x8A) || c2 == 0xAF)) return 3;
            return c1 == 0x81 && c2 == 0x9F ? 3 : 0;
        case 0xE3:  // U+3000
            return c1 == 0x80 && c2 == 0x80 ? 3 : 0;
        default:
            return 0;
    }
}

// The same for the end of `text`. In UTF-8 text a suffix that spells a whole character is that
// character: its first byte is a lead byte, which no other character's tail can contain.
std::size_t trailingSpace(std::string_view text) {
    const std::size_t size = text.size();
    if (size == 0) return 0;
    const auto last = static_cast<unsigned char>(text[size - 1]);
    if (last == 0x09 || last == 0x20) return 1;
    if (size >= 2 && leadingSpace(text.substr(size - 2)) == 2) return 2;
    if (size >= 3 && leadingSpace(text.substr(size - 3)) == 3) return 3;
    return 0;
}

}  // namespace

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    const auto* data = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::size_t start = 0;
    while (start < size) {
        std::size_t length;
        const std::size_t end = findBreak(data, start, size, length);
        if (end > start) lines.emplace_back(text.substr(start, end - start));
        start = end + length;
    }
    return lines;
}

std::string_view trimLineWhitespace(std::string_view line) {
    while (std::size_t n = leadingSpace(line)) line.remove_prefix(n);
    while (std::size_t n = trailingSpace(line)) line.remove_suffix(n);
    return line;
}

std::optional<Url> announcedUrl(std::string_view line) {
    const std::string_view text = trimLineWhitespace(line);
    for (std::string_view prefix : kPrefixes) {
        if (text.starts_with(prefix)) return Url::parse(text);
    }
    return std::nullopt;
}

void OutputScanner::reset() {
    lineStart_ = 0;
    scanned_ = 0;
    found_.reset();
}

std::optional<Url> OutputScanner::scan(std::string_view output) {
    if (output.size() < scanned_) reset();
    if (found_) return found_;

    const auto* data = reinterpret_cast<const unsigned char*>(output.data());
    const std::size_t size = output.size();
    // A line break of up to three bytes may have been cut by the end of the previous output, so
    // the search goes back two bytes, but never behind the open line: the breaks before it are
    // done with.
    std::size_t from = scanned_ >= lineStart_ + 2 ? scanned_ - 2 : lineStart_;
    for (;;) {
        std::size_t length;
        const std::size_t end = findBreak(data, from, size, length);
        if (length == 0) break;
        if (end > lineStart_) {
            if (auto url = announcedUrl(output.substr(lineStart_, end - lineStart_))) {
                found_ = std::move(url);
                scanned_ = size;
                return found_;
            }
        }
        lineStart_ = end + length;
        from = lineStart_;
    }
    scanned_ = size;
    if (lineStart_ < size) return announcedUrl(output.substr(lineStart_));
    return std::nullopt;
}

}  // namespace dralmik
