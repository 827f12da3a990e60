#include "app/shell/app_delegate.h"

#include <algorithm>

#include "app/shell/main_menu.h"

namespace dralmik {

namespace {

constexpr const char* kBackgroundArgument = "--background";
constexpr double kContentWidth = 760;
constexpr double kContentHeight = 640;
// sRGB 11/255, 18/255, 34/255: the window, and the web view under its page.
constexpr Color kBackgroundColor{11.0 / 255.0, 18.0 / 255.0, 34.0 / 255.0, 1.0};

bool hasBackgroundArgument(const std::vector<std::string>& arguments) {
    return std::find(arguments.begin(), arguments.end(), kBackgroundArgument) != arguments.end();
}

}  // namespace

AppDelegate::AppDelegate(Platform& platform)
    : platform_(platform),
      stateLine(platform.menus().makeMenuItem("Starting", Selector::None, "")),
      resources(platform.bundle().resourcePath()),
      startedAtLogin(hasBackgroundArgument(platform.processInfo().arguments())) {}

void AppDelegate::applicationDidFinishLaunching() {
    Application& application = platform_.application();
    installMainMenu(platform_.menus(), application, weak_from_this());

    WebViewConfiguration configuration;
    configuration.applicationNameForUserAgent = "DralmikLLMGatewayApp";
    webView = platform_.makeWebView(Rect{}, configuration);
    webView->setNavigationDelegate(weak_from_this());
    webView->setUIDelegate(weak_from_this());
    webView->setAllowsBackForwardNavigationGestures(false);

    const Rect contentRect{{0, 0}, {kContentWidth, kContentHeight}};
    window = platform_.makeWindow(
        contentRect, kWindowStyleTitled | kWindowStyleClosable | kWindowStyleMiniaturizable | kWindowStyleResizable,
        BackingStore::Buffered, false);
    window->setTitle("Dralmik LLM Gateway");
    window->setBackgroundColor(kBackgroundColor);
    window->setTitlebarAppearsTransparent(true);
    window->setDarkAppearance();
    if (platform_.system().isAtLeast(12, 0)) webView->setUnderPageBackgroundColor(kBackgroundColor);
    window->setContentView(webView);
    window->setReleasedWhenClosed(false);
    window->setDelegate(weak_from_this());
    window->setFrame(contentRect, false);
    window->center();
    window->setFrameAutosaveName("DralmikGatewayWindow");
    // Keep the top-left corner of a restored frame, but open at the launch size every time.
    const Rect restored = window->frame();
    const double top = restored.origin.y + restored.size.height;
    window->setFrame(Rect{{restored.origin.x, top - kContentHeight}, {kContentWidth, kContentHeight}}, false);
    window->setMinSize(Size{437.5, 480});

    if (startedAtLogin) {
        application.setActivationPolicy(ActivationPolicy::Accessory);
    } else {
        window->makeKeyAndOrderFront();
        application.activateIgnoringOtherApps();
    }

    buildStatusItem();
    keepIconAtLogin(true);
    start();
}

bool AppDelegate::applicationShouldTerminateAfterLastWindowClosed() { return false; }

void AppDelegate::windowWillClose() { platform_.application().setActivationPolicy(ActivationPolicy::Accessory); }

bool AppDelegate::applicationShouldHandleReopen(bool) {
    showWindow();
    return true;
}

void AppDelegate::applicationWillTerminate() {
    if (launcher && launcher->isRunning()) launcher->terminate();
}

void AppDelegate::showWindow() {
    Application& application = platform_.application();
    application.setActivationPolicy(ActivationPolicy::Regular);
    if (window->isMiniaturized()) window->deminiaturize();
    window->makeKeyAndOrderFront();
    application.activateIgnoringOtherApps();
}

void AppDelegate::perform(Selector selector) {
    switch (selector) {
        case Selector::ShowWindow: showWindow(); break;
        case Selector::Disconnect: disconnect(); break;
        case Selector::StopAndQuit: stopAndQuit(); break;
        case Selector::ReloadPage: reloadPage(); break;
        default: break;
    }
}

}  // namespace dralmik
