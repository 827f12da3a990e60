#include <memory>

#include "platform/gtk/gtk_desktop.h"

namespace dralmik::gtk {
namespace {

// Calls a one-shot completion at most once, whoever holds a copy of the handler.
template <typename... Args>
struct Once {
    static std::function<void(Args...)> make(std::function<void(Args...)> fn) {
        auto shared = std::make_shared<std::function<void(Args...)>>(std::move(fn));
        return [shared](Args... args) {
            if (!*shared) return;
            auto call = std::move(*shared);
            *shared = nullptr;
            call(args...);
        };
    }
};

// JavaScriptCore collects the young generation on a timer whose delay shrinks as garbage
// grows. The page-state probe leaves a few kilobytes of garbage every two seconds on a page
// that is otherwise idle, and at the engine's default rate (0.0025) that timer does not come
// due: the web process grew steadily, about 9 MB an hour. At 0.03 it collects within seconds
// of the probe's garbage, and the web process stays flat at the same CPU. The ceiling on the
// timer's share of CPU (collectionTimerMaxPercentCPU) is unchanged, and so are the collections
// a busy page's own allocations start. Web processes take their options from the environment
// they are started with; a value already set there is kept.
void tuneScriptCollector() {
    g_setenv("JSC_percentCPUPerMBForEdenTimer", "0.03", FALSE);
}

}  // namespace

GtkWebViewImpl::GtkWebViewImpl(Rect frame, const WebViewConfiguration& configuration) {
    tuneScriptCollector();
    view_ = WEBKIT_WEB_VIEW(webkit_web_view_new());
    g_object_ref_sink(view_);
    if (frame.size.width > 0 && frame.size.height > 0)
        gtk_widget_set_size_request(GTK_WIDGET(view_), static_cast<int>(frame.size.width), static_cast<int>(frame.size.height));

    WebKitSettings* settings = webkit_web_view_get_settings(view_);
    if (!configuration.applicationNameForUserAgent.empty()) {
        // The engine's own helper would add a version ("/605.1.15"); the application name is
        // appended to the default agent as it is.
        const std::string agent = std::string(webkit_settings_get_user_agent(settings)) + " " +
                                  configuration.applicationNameForUserAgent;
        webkit_settings_set_user_agent(settings, agent.c_str());
    }

    g_signal_connect(view_, "decide-policy", G_CALLBACK(onDecidePolicy), this);
    g_signal_connect(view_, "create", G_CALLBACK(onCreate), this);
    g_signal_connect(view_, "load-failed", G_CALLBACK(onLoadFailed), this);
    g_signal_connect(view_, "load-changed", G_CALLBACK(onLoadChanged), this);
    g_signal_connect(view_, "script-dialog", G_CALLBACK(onScriptDialog), this);

    // The engine starts its web process at a view's first load, and that start is the longest
    // step before any page can show. Loading the empty page now starts it while the window and
    // the rest of the launch are still being made; the first real load simply replaces it.
    webkit_web_view_load_uri(view_, "about:blank");
}

GtkWebViewImpl::~GtkWebViewImpl() {
    g_signal_handlers_disconnect_by_data(view_, this);
    g_object_unref(view_);
}

void GtkWebViewImpl::setAllowsBackForwardNavigationGestures(bool allows) {
    webkit_settings_set_enable_back_forward_navigation_gestures(webkit_web_view_get_settings(view_), allows);
}

void GtkWebViewImpl::setUnderPageBackgroundColor(Color color) {
    const GdkRGBA rgba{color.red, color.green, color.blue, color.alpha};
    webkit_web_view_set_background_color(view_, &rgba);
}

void GtkWebViewImpl::noteNewLoad() {
    // A load started while another of ours is pending cancels that one; the engine reports the
    // cancellation as a failed load, which is no failure of the page.
    if (webkit_web_view_is_loading(view_)) ++supersededLoads_;
}

void GtkWebViewImpl::loadRequest(const Url& url, int, double) {
    noteNewLoad();
    WebKitURIRequest* request = webkit_uri_request_new(url.string().c_str());
    webkit_web_view_load_request(view_, request);
    g_object_unref(request);
}

void GtkWebViewImpl::loadHTMLString(const std::string& html) {
    noteNewLoad();
    webkit_web_view_load_html(view_, html.c_str(), nullptr);
}

void GtkWebViewImpl::reload() {
    noteNewLoad();
    webkit_web_view_reload(view_);
}

void GtkWebViewImpl::executeEditingCommand(const char* command) { webkit_web_view_execute_editing_command(view_, command); }

void GtkWebViewImpl::evaluateJavaScript(const std::string& script,
                                        std::function<void(std::optional<std::string>)> completion) {
    auto* callback = completion ? new std::function<void(std::optional<std::string>)>(std::move(completion)) : nullptr;
    webkit_web_view_evaluate_javascript(
        view_, script.c_str(), static_cast<gssize>(script.size()), nullptr, nullptr, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            std::unique_ptr<std::function<void(std::optional<std::string>)>> done(
                static_cast<std::function<void(std::optional<std::string>)>*>(data));
            GError* error = nullptr;
            JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error);
            std::optional<std::string> text;
            if (value && jsc_value_is_string(value)) {
                gchar* s = jsc_value_to_string(value);
                text = s ? std::string(s) : std::string();
                g_free(s);
            }
            if (value) g_object_unref(value);
            g_clear_error(&error);
            if (done && *done) (*done)(std::move(text));
        },
        callback);
}

void GtkWebViewImpl::decide(WebKitNavigationAction* action, WebKitPolicyDecision* decision) {
    std::optional<std::string> url;
    if (WebKitURIRequest* request = action ? webkit_navigation_action_get_request(action) : nullptr) {
        if (const gchar* uri = webkit_uri_request_get_uri(request)) url = uri;
    }
    auto delegate = navigationDelegate_.lock();
    if (!delegate) {
        if (decision) webkit_policy_decision_use(decision);
        return;
    }
    if (decision) g_object_ref(decision);
    auto handler = Once<NavigationPolicy>::make([decision](NavigationPolicy policy) {
        if (!decision) return;
        if (policy == NavigationPolicy::Allow)
            webkit_policy_decision_use(decision);
        else
            webkit_policy_decision_ignore(decision);
        g_object_unref(decision);
    });
    delegate->decidePolicyForNavigation(url, handler);
}

gboolean GtkWebViewImpl::onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                        gpointer data) {
    if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION && type != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION)
        return FALSE;  // responses keep the engine's default
    auto* nav = WEBKIT_NAVIGATION_POLICY_DECISION(decision);
    static_cast<GtkWebViewImpl*>(data)->decide(webkit_navigation_policy_decision_get_navigation_action(nav), decision);
    return TRUE;
}

GtkWidget* GtkWebViewImpl::onCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer data) {
    // window.open() skips decide-policy and asks for a new view here. Its address goes through
    // the same decision; no second view is ever made, so an allowed one opens nothing.
    static_cast<GtkWebViewImpl*>(data)->decide(action, nullptr);
    return nullptr;
}

gboolean GtkWebViewImpl::onLoadFailed(WebKitWebView*, WebKitLoadEvent event, gchar*, GError* error, gpointer data) {
    auto* self = static_cast<GtkWebViewImpl*>(data);
    if (event != WEBKIT_LOAD_STARTED) return FALSE;  // the page had begun to arrive: not provisional
    if (error && g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) && self->supersededLoads_ > 0) {
        --self->supersededLoads_;
        return TRUE;
    }
    if (auto delegate = self->navigationDelegate_.lock()) delegate->didFailProvisionalNavigation(error ? error->message : "");
    // Handled: the engine's own error page would cover the status page.
    return TRUE;
}

void GtkWebViewImpl::onLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer data) {
    if (event == WEBKIT_LOAD_FINISHED && !webkit_web_view_is_loading(view)) static_cast<GtkWebViewImpl*>(data)->supersededLoads_ = 0;
}

gboolean GtkWebViewImpl::onScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer data) {
    auto* self = static_cast<GtkWebViewImpl*>(data);
    auto delegate = self->uiDelegate_.lock();
    const WebKitScriptDialogType type = webkit_script_dialog_get_dialog_type(dialog);
    if (!delegate || (type != WEBKIT_SCRIPT_DIALOG_ALERT && type != WEBKIT_SCRIPT_DIALOG_CONFIRM))
        return FALSE;  // prompts and the rest get the engine's default answer
    const std::string message = webkit_script_dialog_get_message(dialog);
    // The page's script waits until the dialog is closed, which happens when the answer comes.
    webkit_script_dialog_ref(dialog);
    if (type == WEBKIT_SCRIPT_DIALOG_ALERT) {
        delegate->runJavaScriptAlertPanel(message, Once<>::make([dialog]() {
                                              webkit_script_dialog_close(dialog);
                                              webkit_script_dialog_unref(dialog);
                                          }));
    } else {
        delegate->runJavaScriptConfirmPanel(message, Once<bool>::make([dialog](bool confirmed) {
                                                webkit_script_dialog_confirm_set_confirmed(dialog, confirmed);
                                                webkit_script_dialog_close(dialog);
                                                webkit_script_dialog_unref(dialog);
                                            }));
    }
    return TRUE;
}

}  // namespace dralmik::gtk
