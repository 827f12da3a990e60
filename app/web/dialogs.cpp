// Load failures and the page's script dialogs.
#include "app/shell/app_delegate.h"

namespace dralmik {

void AppDelegate::didFailProvisionalNavigation(const std::string& localizedDescription) {
    if (!pageShown) return;
    showMessage("Dralmik LLM Gateway is not responding",
                "The background service did not answer. " + localizedDescription, true);
}

void AppDelegate::runJavaScriptAlertPanel(const std::string& message, std::function<void()> completion) {
    platform_.alerts().beginSheet(*window, AlertSpec{message, {"OK"}},
                                  [completion = std::move(completion)](long) { completion(); });
}

void AppDelegate::runJavaScriptConfirmPanel(const std::string& message, std::function<void(bool)> completion) {
    platform_.alerts().beginSheet(
        *window, AlertSpec{message, {"OK", "Cancel"}},
        [completion = std::move(completion)](long response) { completion(response == kAlertFirstButtonReturn); });
}

}  // namespace dralmik
