// URL references parsed by uriparser, which follows RFC 3986 to the letter.
#include "common/url.h"

#include <uriparser/Uri.h>

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

}  // namespace dralmik
