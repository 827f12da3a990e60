// Url::parse for these tests alone, on uriparser, for as long as the platform library does not
// provide its own. Only the acceptance matters here: the scanner and the reference scan ask the
// same parser, so what is compared is how they find lines, not where the parser draws its line.
#include <uriparser/Uri.h>

#include "platform/url.h"

namespace dralmik {

std::optional<Url> Url::parse(std::string_view text) {
    UriUriA uri;
    const char* error = nullptr;
    const char* first = text.data();
    if (uriParseSingleUriExA(&uri, first, first + text.size(), &error) != URI_SUCCESS) {
        return std::nullopt;
    }
    Url url;
    url.text_ = std::string(text);
    const auto range = [](const UriTextRangeA& r) -> std::optional<std::string> {
        if (r.first == nullptr) return std::nullopt;
        return std::string(r.first, r.afterLast);
    };
    url.scheme_ = range(uri.scheme);
    url.host_ = range(uri.hostText);
    uriFreeUriMembersA(&uri);
    return url;
}

}  // namespace dralmik
