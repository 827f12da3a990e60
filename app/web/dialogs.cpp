// Load failures and the page's script dialogs.
#include "app/shell/app_delegate.h"

namespace dralmik {

void AppDelegate::didFailProvisionalNavigation(const LoadFailure& failure) {
    // A load of ours that a newer one of ours replaced did not fail: the newer one is on its way.
    if (failure.supersededByNewerLoad || !pageShown) return;
    showMessage("Dralmik LLM Gateway is not responding",
                "The background service did not answer. " + failure.localizedDescription, true);
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
