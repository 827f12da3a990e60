#pragma once
// The embedded web view. The core relies on:
// - every navigation (main frame, sub-frame, new window) is put to decidePolicyForNavigation()
//   with its URL text (no value when the request has none) and waits for exactly one decision;
// - didFailProvisionalNavigation() comes only for a failure before any of the page arrived,
//   with what happened; the engine's own error page is never shown;
// - loadRequest() gives up when no part of the page has arrived within the time limit, and
//   reports that as a provisional failure;
// - alerts and confirmations wait for their completion, called once;
// - loadHTMLString() shows the document as about:blank, replacing what was shown;
// - evaluateJavaScript()'s completion (when given) runs on the main thread with the script's
//   value when it is a string, and with no value otherwise (an error, another type);
// - readPage() is the same for a script that only reads the document, run apart from the
//   page's own scripts: it sees the document as the page has it, but none of what the page's
//   scripts changed in the language (JSON, the built-in prototypes), so a page cannot change
//   what it computes or answers;
// - webContentProcessDidTerminate() comes each time the page's process ends; reload() and the
//   loads start a new one;
// - reload() loads the shown page again, or, while none of the page of the last loadRequest()
//   has arrived, makes that request again with its time limit.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "common/url.h"
#include "platform/geometry.h"

namespace dralmik {

enum class NavigationPolicy { Cancel, Allow };

struct WebViewConfiguration {
    std::string applicationNameForUserAgent;  // appended to the engine's own user agent
    bool allowsBackForwardNavigationGestures = true;
};

struct LoadFailure {
    std::string localizedDescription;
    // The load was one of ours, cancelled because a newer load of ours replaced it.
    bool supersededByNewerLoad = false;
};

class WebViewDelegate {
public:
    virtual ~WebViewDelegate() = default;
    virtual void decidePolicyForNavigation(const std::optional<std::string>& url,
                                           const std::function<void(NavigationPolicy)>& decisionHandler) = 0;
    virtual void didFailProvisionalNavigation(const LoadFailure& failure) = 0;
    virtual void runJavaScriptAlertPanel(const std::string& message, std::function<void()> completion) = 0;
    virtual void runJavaScriptConfirmPanel(const std::string& message, std::function<void(bool)> completion) = 0;
    // The process that rendered the page ended (it crashed, was killed, or the engine ended it);
    // the view shows nothing until it loads again.
    virtual void webContentProcessDidTerminate() = 0;
};

class WebView {
public:
    virtual ~WebView() = default;
    virtual void setDelegate(std::weak_ptr<WebViewDelegate> delegate) = 0;
    virtual void setUnderPageBackgroundColor(Color color) = 0;
    virtual void loadRequest(const Url& url, double timeoutSeconds) = 0;
    virtual void loadHTMLString(const std::string& html) = 0;  // no base URL
    virtual void evaluateJavaScript(const std::string& script,
                                    std::function<void(std::optional<std::string>)> completion) = 0;
    virtual void readPage(const std::string& script, std::function<void(std::optional<std::string>)> completion) = 0;
    virtual void reload() = 0;
};

}  // namespace dralmik
