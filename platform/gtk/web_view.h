#pragma once
// The web view on WebKitGTK. Every navigation, new-window request and window.open() goes
// through the delegate's one decision; responses the view cannot show are refused, so nothing
// is ever downloaded; failed loads never show the engine's own error page.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/web_view.h"

namespace dralmik::gtk {

class WebView final : public dralmik::WebView {
public:
    explicit WebView(const WebViewConfiguration& configuration);
    ~WebView() override;

    void setDelegate(std::weak_ptr<WebViewDelegate> delegate) override { delegate_ = std::move(delegate); }
    void setUnderPageBackgroundColor(Color color) override;
    void loadRequest(const Url& url, double timeoutSeconds) override;
    void loadHTMLString(const std::string& html) override;
    void evaluateJavaScript(const std::string& script, std::function<void(std::optional<std::string>)> completion) override;
    void readPage(const std::string& script, std::function<void(std::optional<std::string>)> completion) override;
    void reload() override;

    GtkWidget* widget() const { return GTK_WIDGET(view_); }
    void executeEditingCommand(const char* command);

private:
    static void onMap(GtkWidget*, gpointer self);
    static void onUnmap(GtkWidget*, gpointer self);
    // Out of sight for a while: what the engine and the heap can give back, and take again on
    // the next show, is given back.
    void releaseMemory();
    // Runs the script in the page's world (none) or in the named one.
    void evaluate(const std::string& script, const char* world, std::function<void(std::optional<std::string>)> completion);
    static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision*, WebKitPolicyDecisionType, gpointer self);
    static GtkWidget* onCreate(WebKitWebView*, WebKitNavigationAction*, gpointer self);
    static gboolean onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError*, gpointer self);
    static gboolean onScriptDialog(WebKitWebView*, WebKitScriptDialog*, gpointer self);
    static void onLoadChanged(WebKitWebView*, WebKitLoadEvent, gpointer self);
    static void onProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer self);
    void decide(WebKitNavigationAction* action, WebKitPolicyDecision* decision);
    // Before each load of ours: the pending one, if any, is about to be cancelled by it.
    void beginLoad();
    void stopTimeout();

    WebKitWebView* view_;
    std::weak_ptr<WebViewDelegate> delegate_;
    int supersededLoads_ = 0;  // loads of ours that a later load of ours cancelled
    guint timeout_ = 0;        // the time limit of the pending request, while nothing has arrived
    guint release_ = 0;        // the release of memory once the view has been out of sight a while
    bool released_ = false;
    bool timedOut_ = false;
    // The last request of loadRequest() while none of its page has arrived: what reload() asks
    // for again, since the engine's own reload would load the page shown before it.
    std::optional<Url> unarrived_;
    double unarrivedTimeoutSeconds_ = 0;
};

}  // namespace dralmik::gtk
