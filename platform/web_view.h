#pragma once
// The embedded web view. The core relies on:
// - every navigation (main frame, sub-frame, new window) is put to decidePolicy() with its URL
//   text (no value when the request has none), and waits for exactly one decision;
// - didFailProvisionalNavigation() comes only for a failure before any of the page arrived;
// - alerts and confirmations wait for their completion, called once;
// - loadHTMLString() shows the document as about:blank, replacing what was shown;
// - evaluateJavaScript()'s completion (when given) runs on the main thread with the script's
//   value when it is a string, and with no value otherwise (an error, another type).
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/geometry.h"
#include "platform/url.h"

namespace dralmik {

enum class NavigationPolicy { Cancel = 0, Allow = 1 };

// Cache policy of a request: the protocol's own (NSURLRequestUseProtocolCachePolicy).
inline constexpr int kUseProtocolCachePolicy = 0;

struct WebViewConfiguration {
    std::string applicationNameForUserAgent;
};

class WebViewDelegate {
public:
    virtual ~WebViewDelegate() = default;
    virtual void decidePolicyForNavigation(const std::optional<std::string>& url,
                                           const std::function<void(NavigationPolicy)>& decisionHandler) = 0;
    virtual void didFailProvisionalNavigation(const std::string& localizedDescription) = 0;
    virtual void runJavaScriptAlertPanel(const std::string& message, std::function<void()> completion) = 0;
    virtual void runJavaScriptConfirmPanel(const std::string& message, std::function<void(bool)> completion) = 0;
};

class WebView {
public:
    virtual ~WebView() = default;
    virtual void setNavigationDelegate(std::weak_ptr<WebViewDelegate> delegate) = 0;
    virtual void setUIDelegate(std::weak_ptr<WebViewDelegate> delegate) = 0;
    virtual void setAllowsBackForwardNavigationGestures(bool allows) = 0;
    virtual void setUnderPageBackgroundColor(Color color) = 0;
    virtual void loadRequest(const Url& url, int cachePolicy, double timeoutSeconds) = 0;
    virtual void loadHTMLString(const std::string& html) = 0;  // no base URL
    virtual void evaluateJavaScript(const std::string& script,
                                    std::function<void(std::optional<std::string>)> completion) = 0;
    virtual void reload() = 0;
};

}  // namespace dralmik
