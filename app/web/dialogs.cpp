// Load failures, the end of the page's process, and the page's script dialogs.
#include "app/shell/app_delegate.h"
#include "common/fail.h"

namespace dralmik {

namespace {

// A page whose process ends again this soon after it was reloaded for the same reason is not
// reloaded again.
constexpr double kCrashReloadWindowSeconds = 5;

}  // namespace

void AppDelegate::didFailProvisionalNavigation(const LoadFailure& failure) {
    // A load of ours that a newer one of ours replaced did not fail: the newer one is on its way.
    if (failure.supersededByNewerLoad || !pageShown) return;
    showMessage("Dralmik LLM Gateway is not responding",
                "The background service did not answer. " + failure.localizedDescription, true);
}

void AppDelegate::webContentProcessDidTerminate() {
    // Left alone, the view stays blank or frozen while the menu goes on showing the old state.
    if (statusPage_) {
        const StatusPage page = *statusPage_;
        showMessage(page.title, page.detail, page.canRetry);
        return;
    }
    if (!pageShown) return;
    const double now = platform_.processInfo().systemUptime();
    if (lastCrashReload_ && now - *lastCrashReload_ < kCrashReloadWindowSeconds) {
        showMessage("Dralmik LLM Gateway is not responding",
                    "The background service did not answer. The page stopped unexpectedly.", true);
        return;
    }
    lastCrashReload_ = now;
    logLine("The page's process ended: loading the page again");
    webView->reload();
}

void AppDelegate::runJavaScriptAlertPanel(const std::string& message, std::function<void()> completion) {
    platform_.alerts().beginSheet(*window, AlertSpec{message, {"OK"}},
                                  [completion = std::move(completion)](std::optional<std::size_t>) { completion(); });
}

void AppDelegate::runJavaScriptConfirmPanel(const std::string& message, std::function<void(bool)> completion) {
    platform_.alerts().beginSheet(*window, AlertSpec{message, {"OK", "Cancel"}},
                                  [completion = std::move(completion)](std::optional<std::size_t> button) {
                                      completion(button == std::size_t{0});
                                  });
}

}  // namespace dralmik
