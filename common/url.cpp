// URL references parsed by uriparser, which follows RFC 3986 to the letter.
#include "common/url.h"

#include <uriparser/Uri.h>

#include <algorithm>

namespace dralmik {
namespace {

std::optional<std::string> textOf(const UriTextRangeA& range) {
    if (range.first == nullptr) return std::nullopt;
    return std::string(range.first, range.afterLast);
}

}  // namespace

std::optional<Url> Url::parse(std::string_view text) {
    // uriparser never reads outside [first, afterLast), and the single-URI parser fails unless
    // it can take the whole range: trailing text the grammar cannot place is an error, and so is
    // an embedded NUL.
    const char* first = text.data();
    const char* afterLast = text.data() + text.size();
    static const char kEmpty = '\0';
    if (text.empty()) first = afterLast = &kEmpty;

    UriUriA parsed;
    const char* errorPosition = nullptr;
    if (uriParseSingleUriExA(&parsed, first, afterLast, &errorPosition) != URI_SUCCESS) return std::nullopt;

    Url url;
    url.text_ = std::string(text);
    url.scheme_ = textOf(parsed.scheme);
    // uriparser points hostText at the text for every authority, even an empty one ("x:///p"),
    // and leaves it null when there is no authority at all ("x:p"). For IP literals the range
    // lies inside the brackets.
    url.host_ = textOf(parsed.hostText);
    uriFreeUriMembersA(&parsed);
    return url;
}

std::optional<Url> Url::parseSchemeAndHost(std::string_view text) {
    // scheme ":" up to the first "/", "?" or "#"; then "//" authority up to the next of them.
    size_t end = 0;
    const size_t colon = text.find_first_of(":/?#");
    if (colon != std::string_view::npos && colon > 0 && text[colon] == ':') end = colon + 1;
    if (text.substr(end, 2) == "//") end = std::min(text.find_first_of("/?#", end + 2), text.size());
    std::optional<Url> head = parse(text.substr(0, end));
    if (head) head->text_ = std::string(text);
    return head;
}

}  // namespace dralmik
