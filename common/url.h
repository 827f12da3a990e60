#pragma once
// An absolute or relative URL reference as RFC 3986 reads it. The core relies on:
// parse() gives no value for text the RFC rejects; scheme() and host() are the components
// exactly as written (no case folding), host without port or IPv6 brackets; a host that is
// absent ("dralmik:retry") is told apart from an empty one ("dralmik:///x").
#include <optional>
#include <string>
#include <string_view>

namespace dralmik {

class Url {
public:
    static std::optional<Url> parse(std::string_view text);
    // Reads only the scheme and the authority (RFC 3986's split of a reference into its five
    // components, then its grammar for those two); the path, query and fragment are kept in
    // string() but never examined, so a lone "%" or a second "#" there does not matter. No
    // value when the scheme or the authority break the grammar.
    static std::optional<Url> parseSchemeAndHost(std::string_view text);

    const std::string& string() const { return text_; }
    const std::optional<std::string>& scheme() const { return scheme_; }
    const std::optional<std::string>& host() const { return host_; }

    bool operator==(const Url& other) const { return text_ == other.text_; }

private:
    std::string text_;
    std::optional<std::string> scheme_;
    std::optional<std::string> host_;
};

}  // namespace dralmik
