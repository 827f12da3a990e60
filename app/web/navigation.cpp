#include "app/web/navigation.h"

#include "app/shell/app_delegate.h"

namespace dralmik {

namespace {

constexpr double kMinimumSecondsBetweenHandOffs = 1;

}  // namespace

bool isLocal(const Url& url) {
    const auto& scheme = url.scheme();
    const auto& host = url.host();
    if (!scheme || !host) return false;
    if (*scheme != "http" && *scheme != "https") return false;
    return *host == "localhost" || *host == "127.0.0.1";
}

NavigationDecision decideNavigation(const std::optional<std::string>& urlText) {
    using Then = NavigationDecision::Then;
    std::optional<Url> url = urlText ? Url::parseSchemeAndHost(*urlText) : std::nullopt;
    if (!url) return {NavigationPolicy::Cancel, Then::Nothing, std::nullopt};

    const std::string scheme = url->scheme().value_or("");
    const bool hasScheme = url->scheme().has_value();
    if (hasScheme && scheme == "dralmik") {
        const bool quit = url->host() && *url->host() == "quit";
        return {NavigationPolicy::Cancel, quit ? Then::Quit : Then::Restart, url};
    }
    if (hasScheme && scheme == "about") return {NavigationPolicy::Allow, Then::Nothing, url};
    if (isLocal(*url)) return {NavigationPolicy::Allow, Then::Nothing, url};
    if (hasScheme && (scheme == "http" || scheme == "https" || scheme == "mailto")) {
        return {NavigationPolicy::Cancel, Then::OpenExternally, url};
    }
    return {NavigationPolicy::Cancel, Then::Nothing, url};
}

void AppDelegate::decidePolicyForNavigation(const std::optional<std::string>& url,
                                            const std::function<void(NavigationPolicy)>& decisionHandler) {
    NavigationDecision decision = decideNavigation(url);
    // The decision goes back before any follow-up, which may end the application.
    decisionHandler(decision.policy);
    switch (decision.then) {
        case NavigationDecision::Then::Nothing: break;
        case NavigationDecision::Then::Quit:
            keepIconAtLogin(false);
            terminating_ = true;  // a retry queued behind the quit starts nothing
            platform_.application().terminate();
            break;
        case NavigationDecision::Then::Restart: start(); break;
        case NavigationDecision::Then::OpenExternally: {
            // A page with a hundred external frames must not open the browser a hundred times.
            const double now = platform_.processInfo().systemUptime();
            if (lastHandOff_ && now - *lastHandOff_ < kMinimumSecondsBetweenHandOffs) break;
            lastHandOff_ = now;
            platform_.workspace().openURL(*decision.url);
            break;
        }
    }
}

}  // namespace dralmik
