#pragma once
// Which addresses the window's web view may show, and what the others lead to.
#include <optional>
#include <string>

#include "common/url.h"
#include "platform/web_view.h"

namespace dralmik {

// Served by the local gateway: http or https on localhost or 127.0.0.1, any port or path.
bool isLocal(const Url& url);

struct NavigationDecision {
    enum class Then {
        Nothing,
        Quit,            // withdraw the login start, then terminate
        Restart,         // start the gateway again
        OpenExternally,  // hand the address to the desktop's default handler
    };
    NavigationPolicy policy = NavigationPolicy::Cancel;
    Then then = Then::Nothing;
    std::optional<Url> url;
};

// The decision for a request's URL text (none when the request has no URL). Only its scheme
// and host decide, so whatever the engine keeps in a path, query or fragment is never looked
// at; text whose scheme or authority do not parse is treated like a request without one.
NavigationDecision decideNavigation(const std::optional<std::string>& urlText);

}  // namespace dralmik
