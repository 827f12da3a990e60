#pragma once
// The application's own status page, shown while the gateway starts or after it failed.
#include <string>
#include <string_view>

namespace dralmik {

// "&", "<" and ">" as entities, in that order, so inserted entities are not escaped again.
std::string escapeMarkup(std::string_view text);

// The whole document: fixed head, escaped title and detail, optional "Try again" link.
std::string statusPageDocument(std::string_view title, std::string_view detail, bool canRetry);

}  // namespace dralmik
