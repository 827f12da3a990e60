#include "platform/gtk/web_view.h"

#include <cstring>
#include <utility>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

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

// How long the view stays out of sight (its window closed) before it gives memory back.
constexpr guint kReleaseAfterHiddenSeconds = 5;

// The script world in which readPage() runs.
constexpr const char* kReaderWorld = "dralmik-reader";

// The words the desktop's other web views use for a request that ran out of time.
constexpr const char* kTimedOut = "The request timed out.";

// A response the view would hand to the download manager instead of showing it.
bool wouldDownload(WebKitResponsePolicyDecision* decision) {
    if (!webkit_response_policy_decision_is_mime_type_supported(decision)) return true;
    WebKitURIResponse* response = webkit_response_policy_decision_get_response(decision);
    SoupMessageHeaders* headers = response ? webkit_uri_response_get_http_headers(response) : nullptr;
    const char* disposition = headers ? soup_message_headers_get_one(headers, "Content-Disposition") : nullptr;
    if (!disposition) return false;
    while (*disposition == ' ' || *disposition == '\t') ++disposition;
    return g_ascii_strncasecmp(disposition, "attachment", std::strlen("attachment")) == 0;
}

}  // namespace

WebView::WebView(const WebViewConfiguration& configuration) {
    view_ = WEBKIT_WEB_VIEW(webkit_web_view_new());
    g_object_ref_sink(view_);

    WebKitSettings* settings = webkit_web_view_get_settings(view_);
    if (!configuration.applicationNameForUserAgent.empty()) {
        // The engine's own helper would add a version ("/605.1.15"); the application name is
        // appended to the default agent as it is.
        const std::string agent = std::string(webkit_settings_get_user_agent(settings)) + " " +
                                  configuration.applicationNameForUserAgent;
        webkit_settings_set_user_agent(settings, agent.c_str());
    }
    webkit_settings_set_enable_back_forward_navigation_gestures(settings,
                                                                configuration.allowsBackForwardNavigationGestures);
    // The gateway's pages are plain documents. Accelerated compositing costs about a third of
    // the application's memory, window shown or hidden, and draws them no differently at scale
    // 1 or 2. Without it a WebGL canvas stays blank; WEBKIT_FORCE_COMPOSITING_MODE=1 in the
    // environment brings it back. ON_DEMAND, the middle way, reads back as ALWAYS in this engine.
    webkit_settings_set_hardware_acceleration_policy(settings, WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);

    g_signal_connect(view_, "decide-policy", G_CALLBACK(onDecidePolicy), this);
    g_signal_connect(view_, "create", G_CALLBACK(onCreate), this);
    g_signal_connect(view_, "load-failed", G_CALLBACK(onLoadFailed), this);
    g_signal_connect(view_, "load-changed", G_CALLBACK(onLoadChanged), this);
    g_signal_connect(view_, "script-dialog", G_CALLBACK(onScriptDialog), this);
    g_signal_connect(view_, "web-process-terminated", G_CALLBACK(onProcessTerminated), this);
    g_signal_connect(view_, "map", G_CALLBACK(onMap), this);
    g_signal_connect(view_, "unmap", G_CALLBACK(onUnmap), this);
    onUnmap(nullptr, this);  // out of sight until its window shows (never, in a hidden start)

    // The engine starts its web process at a view's first load, and that start is the longest
    // step before any page can show. Loading the empty page now starts it while the window and
    // the rest of the launch are still being made; the first real load simply replaces it.
    webkit_web_view_load_uri(view_, "about:blank");
}

WebView::~WebView() {
    stopTimeout();
    if (release_) g_source_remove(release_);
    g_signal_handlers_disconnect_by_data(view_, this);
    g_object_unref(view_);
}

void WebView::onUnmap(GtkWidget*, gpointer data) {
    auto* self = static_cast<WebView*>(data);
    if (self->release_) return;
    self->release_ = g_timeout_add_seconds(
        kReleaseAfterHiddenSeconds,
        [](gpointer data) -> gboolean {
            auto* self = static_cast<WebView*>(data);
            self->release_ = 0;
            self->releaseMemory();
            return G_SOURCE_REMOVE;
        },
        self);
}

void WebView::onMap(GtkWidget*, gpointer data) {
    auto* self = static_cast<WebView*>(data);
    if (self->release_) g_source_remove(self->release_);
    self->release_ = 0;
    // The caches fill again as the page is used; the page itself was never let go, so the view
    // shows it as it was, with nothing loaded again.
    if (std::exchange(self->released_, false))
        webkit_web_context_set_cache_model(webkit_web_view_get_context(self->view_), WEBKIT_CACHE_MODEL_WEB_BROWSER);
}

void WebView::releaseMemory() {
    released_ = true;
    // The engine's processes drop the resources, decoded images and pages they keep in memory
    // for pages to come (the page shown stays as it is, and the probe goes on reading it) ...
    webkit_web_context_set_cache_model(webkit_web_view_get_context(view_), WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
#if defined(__GLIBC__)
    // ... and this process returns the heap it has freed (the window's drawing, the launch's
    // garbage) to the system.
    malloc_trim(0);
#endif
}

void WebView::setUnderPageBackgroundColor(Color color) {
    const GdkRGBA rgba{color.red, color.green, color.blue, color.alpha};
    webkit_web_view_set_background_color(view_, &rgba);
}

void WebView::stopTimeout() {
    if (timeout_) g_source_remove(timeout_);
    timeout_ = 0;
}

void WebView::beginLoad() {
    stopTimeout();
    timedOut_ = false;
    if (webkit_web_view_is_loading(view_)) ++supersededLoads_;
}

void WebView::loadRequest(const Url& url, double timeoutSeconds) {
    beginLoad();
    WebKitURIRequest* request = webkit_uri_request_new(url.string().c_str());
    webkit_web_view_load_request(view_, request);
    g_object_unref(request);
    unarrived_ = url;
    unarrivedTimeoutSeconds_ = timeoutSeconds;
    if (timeoutSeconds > 0) {
        // Stopping the load reports it as failed; the flag tells that failure what it was.
        timeout_ = g_timeout_add(
            static_cast<guint>(timeoutSeconds * 1000),
            [](gpointer data) -> gboolean {
                auto* self = static_cast<WebView*>(data);
                self->timeout_ = 0;
                self->timedOut_ = true;
                webkit_web_view_stop_loading(self->view_);
                return G_SOURCE_REMOVE;
            },
            this);
    }
}

void WebView::loadHTMLString(const std::string& html) {
    beginLoad();
    unarrived_.reset();
    webkit_web_view_load_html(view_, html.c_str(), nullptr);
}

void WebView::reload() {
    // A page that never arrived (its process ended first, say) is asked for again, with its
    // time limit from the start.
    if (unarrived_) {
        const Url url = *unarrived_;
        loadRequest(url, unarrivedTimeoutSeconds_);
        return;
    }
    beginLoad();
    webkit_web_view_reload(view_);
}

void WebView::executeEditingCommand(const char* command) { webkit_web_view_execute_editing_command(view_, command); }

void WebView::evaluateJavaScript(const std::string& script, std::function<void(std::optional<std::string>)> completion) {
    evaluate(script, nullptr, std::move(completion));
}

void WebView::readPage(const std::string& script, std::function<void(std::optional<std::string>)> completion) {
    // A world of its own shares the document with the page, but not the page's globals: what a
    // page's script puts in place of JSON.stringify or a prototype's method is not seen there.
    evaluate(script, kReaderWorld, std::move(completion));
}

void WebView::evaluate(const std::string& script, const char* world,
                       std::function<void(std::optional<std::string>)> completion) {
    auto* callback = completion ? new std::function<void(std::optional<std::string>)>(std::move(completion)) : nullptr;
    webkit_web_view_evaluate_javascript(
        view_, script.c_str(), static_cast<gssize>(script.size()), world, nullptr, nullptr,
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

void WebView::decide(WebKitNavigationAction* action, WebKitPolicyDecision* decision) {
    std::optional<std::string> url;
    if (WebKitURIRequest* request = action ? webkit_navigation_action_get_request(action) : nullptr) {
        if (const gchar* uri = webkit_uri_request_get_uri(request)) url = uri;
    }
    auto delegate = delegate_.lock();
    if (!delegate) {
        if (decision) webkit_policy_decision_ignore(decision);
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

gboolean WebView::onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                 gpointer data) {
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
        // Nothing is saved on the user's behalf: what the view cannot show is not loaded.
        if (wouldDownload(WEBKIT_RESPONSE_POLICY_DECISION(decision))) {
            webkit_policy_decision_ignore(decision);
        } else {
            webkit_policy_decision_use(decision);
        }
        return TRUE;
    }
    auto* nav = WEBKIT_NAVIGATION_POLICY_DECISION(decision);
    static_cast<WebView*>(data)->decide(webkit_navigation_policy_decision_get_navigation_action(nav), decision);
    return TRUE;
}

GtkWidget* WebView::onCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer data) {
    // window.open() skips decide-policy and asks for a new view here. Its address goes through
    // the same decision; no second view is ever made, so an allowed one opens nothing.
    static_cast<WebView*>(data)->decide(action, nullptr);
    return nullptr;
}

gboolean WebView::onLoadFailed(WebKitWebView*, WebKitLoadEvent event, gchar*, GError* error, gpointer data) {
    auto* self = static_cast<WebView*>(data);
    // A failure once the page had begun to arrive leaves the view as it was. A redirect that
    // the policy refused is reported once the engine has committed an empty document: nothing
    // of the page arrived there either.
    const bool policy = error && error->domain == WEBKIT_POLICY_ERROR;
    if (event != WEBKIT_LOAD_STARTED && !policy) return TRUE;
    LoadFailure failure;
    failure.localizedDescription = error ? error->message : "";
    if (error && g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED)) {
        if (self->timedOut_) {
            failure.localizedDescription = kTimedOut;
        } else if (self->supersededLoads_ > 0) {
            --self->supersededLoads_;
            failure.supersededByNewerLoad = true;
        }
    }
    // The cancellation of a replaced load may come after the newer request began: its time
    // limit runs on.
    if (!failure.supersededByNewerLoad) {
        self->stopTimeout();
        self->timedOut_ = false;
    }
    if (auto delegate = self->delegate_.lock()) delegate->didFailProvisionalNavigation(failure);
    // Handled: the engine's own error page would cover the status page.
    return TRUE;
}

void WebView::onLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer data) {
    auto* self = static_cast<WebView*>(data);
    // A page has begun to arrive: the time limit is met. The engine runs our loads one after the
    // other, so the status page shown before the request (about:blank) may still commit and
    // finish after the request was made; only a page of the request's own counts, wherever its
    // redirects led.
    if (event == WEBKIT_LOAD_COMMITTED && g_strcmp0(webkit_web_view_get_uri(view), "about:blank") != 0) {
        self->stopTimeout();
        self->unarrived_.reset();
    }
    if (event == WEBKIT_LOAD_FINISHED && !webkit_web_view_is_loading(view)) self->supersededLoads_ = 0;
}

void WebView::onProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer data) {
    auto* self = static_cast<WebView*>(data);
    self->stopTimeout();
    self->supersededLoads_ = 0;
    if (auto delegate = self->delegate_.lock()) delegate->webContentProcessDidTerminate();
}

gboolean WebView::onScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer data) {
    auto* self = static_cast<WebView*>(data);
    auto delegate = self->delegate_.lock();
    const WebKitScriptDialogType type = webkit_script_dialog_get_dialog_type(dialog);
    if (!delegate || (type != WEBKIT_SCRIPT_DIALOG_ALERT && type != WEBKIT_SCRIPT_DIALOG_CONFIRM))
        return FALSE;  // prompts and the rest get the engine's default answer
    const std::string message = webkit_script_dialog_get_message(dialog);
    // The page's script waits until the dialog is closed, which happens when the answer comes.
    webkit_script_dialog_ref(dialog);
    if (type == WEBKIT_SCRIPT_DIALOG_ALERT) {
        delegate->runJavaScriptAlertPanel(message, Once<>::make(([dialog]() {
                                              webkit_script_dialog_close(dialog);
                                              webkit_script_dialog_unref(dialog);
                                          })));
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
