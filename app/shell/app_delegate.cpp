#include "app/shell/app_delegate.h"

#include <algorithm>
#include <utility>

#include "app/gateway/child_ahead.h"
#include "app/shell/main_menu.h"
#include "common/launch_timeline.h"

namespace dralmik {

namespace {

constexpr const char* kBackgroundArgument = "--background";
constexpr double kContentWidth = 760;
constexpr double kContentHeight = 640;
// sRGB 11/255, 18/255, 34/255: the window, and the web view under its page.
constexpr Color kBackgroundColor{11.0 / 255.0, 18.0 / 255.0, 34.0 / 255.0, 1.0};
// The first system whose web view takes a colour under its page.
constexpr SystemVersion kUnderPageColorSystem{12, 0};

bool hasBackgroundArgument(const std::vector<std::string>& arguments) {
    return std::find(arguments.begin(), arguments.end(), kBackgroundArgument) != arguments.end();
}

}  // namespace

AppDelegate::AppDelegate(Platform& platform)
    : platform_(platform),
      resources(platform.bundle().resourcePath()),
      startedAtLogin(hasBackgroundArgument(platform.processInfo().arguments())) {}

std::function<void()> AppDelegate::action(void (AppDelegate::*method)()) {
    return [weakSelf = weak_from_this(), method] {
        if (auto self = weakSelf.lock()) (self.get()->*method)();
    };
}

void AppDelegate::applicationDidFinishLaunching() {
    launchStep("launch sequence");
    Application& application = platform_.application();
    installMainMenu(platform_.menus(), application, action(&AppDelegate::reloadPage));

    WebViewConfiguration configuration;
    configuration.applicationNameForUserAgent = "DralmikLLMGatewayApp";
    configuration.allowsBackForwardNavigationGestures = false;
    webView = platform_.makeWebView(configuration);
    webView->setDelegate(weak_from_this());
    launchStep("web view");

    WindowDescription description;
    description.title = "Dralmik LLM Gateway";
    description.contentSize = {kContentWidth, kContentHeight};
    description.minimumSize = {437.5, 480};
    description.backgroundColor = kBackgroundColor;
    description.appearance = Appearance::Dark;
    description.frameAutosaveName = "DralmikGatewayWindow";
    window = platform_.makeWindow(description);
    launchStep("window");
    if (platform_.system().isAtLeast(kUnderPageColorSystem)) webView->setUnderPageBackgroundColor(kBackgroundColor);
    window->setContentView(webView);
    window->setDelegate(weak_from_this());
    window->setFrame(Rect{{0, 0}, {kContentWidth, kContentHeight}});
    window->center();
    // A restored window keeps its top-left corner, but opens at the launch size every time.
    if (std::optional<Rect> saved = window->savedFrame()) {
        const double top = saved->origin.y + saved->size.height;
        window->setFrame(Rect{{saved->origin.x, top - kContentHeight}, {kContentWidth, kContentHeight}});
    }

    if (startedAtLogin) {
        application.setActivationPolicy(ActivationPolicy::Accessory);
    } else {
        window->makeKeyAndOrderFront();
        application.activate();
    }

    launchStep("activation");
    buildStatusItem();
    launchStep("status item");
    keepIconAtLogin(true);
    launchStep("login item");
    start();
}

bool AppDelegate::applicationShouldTerminateAfterLastWindowClosed() { return false; }

// With no status area to bring it back from, the window is the application's only face: closing
// it puts it in the dock instead of away.
bool AppDelegate::windowShouldClose() {
    if (statusItemShown_.value_or(true)) return true;
    window->miniaturize();
    return false;
}

void AppDelegate::windowWillClose() { platform_.application().setActivationPolicy(ActivationPolicy::Accessory); }

void AppDelegate::applicationShouldHandleReopen() { showWindow(); }

void AppDelegate::applicationWillTerminate() {
    terminating_ = true;
    // Every child still running, not only the last one: a retry does not stop the one before.
    for (const auto& child : children_) {
        if (child->isRunning()) child->terminate();
    }
    // A child started ahead of a launch sequence that never came to take it over.
    if (childAhead_) childAhead_->terminate();
}

void AppDelegate::showWindow() {
    // Whoever opens the window knows that the application runs: no notice needs to say so.
    hiddenStartSettled_ = true;
    if (noticeTimer_) std::exchange(noticeTimer_, nullptr)->invalidate();
    Application& application = platform_.application();
    application.setActivationPolicy(ActivationPolicy::Regular);
    if (window->isMiniaturized()) window->deminiaturize();
    window->makeKeyAndOrderFront();
    application.activate();
}

}  // namespace dralmik
