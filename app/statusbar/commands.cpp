// The menu commands that act through the gateway page.
#include "app/shell/app_delegate.h"

namespace dralmik {

void AppDelegate::press(const std::string& id) {
    showWindow();
    webView->evaluateJavaScript("var b = document.getElementById('" + id + "'); if (b) b.click();", nullptr);
}

void AppDelegate::disconnect() { press("forget"); }

void AppDelegate::stopAndQuit() { press("stop"); }

void AppDelegate::reloadPage() {
    if (pageShown) {
        webView->reload();
    } else {
        start();
    }
}

}  // namespace dralmik
