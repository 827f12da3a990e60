#pragma once
// The one object that owns all state of the menu-bar application. The platform calls it as
// application, window, menu and web-view delegate; the menu items it makes call its actions.
// Its operations are defined in the folder of the subsystem that owns each of them.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/gateway/scanner.h"
#include "platform/platform.h"

namespace dralmik {

class ChildAhead;

class AppDelegate : public ApplicationDelegate,
                    public WindowDelegate,
                    public MenuDelegate,
                    public WebViewDelegate,
                    public StatusItemDelegate,
                    public std::enable_shared_from_this<AppDelegate> {
public:
    // Needs no user interface yet: the delegate is made before the toolkit comes up.
    explicit AppDelegate(Platform& platform);

    // Starts the first gateway child as soon as this process knows it is the only copy, so that
    // the child's own start overlaps the toolkit's and the web engine's; start() at the end of
    // the launch sequence takes it over. Until then what the child writes, and its exit, wait.
    void startGatewayAhead();

    // Application and window lifecycle (app/shell/app_delegate.cpp).
    void applicationDidFinishLaunching() override;
    bool applicationShouldTerminateAfterLastWindowClosed() override;
    bool windowShouldClose() override;
    void windowWillClose() override;
    void applicationShouldHandleReopen() override;
    void applicationWillTerminate() override;

    // Web content (app/web/).
    void decidePolicyForNavigation(const std::optional<std::string>& url,
                                   const std::function<void(NavigationPolicy)>& decisionHandler) override;
    void didFailProvisionalNavigation(const LoadFailure& failure) override;
    void runJavaScriptConfirmPanel(const std::string& message, std::function<void(bool)> completion) override;
    void runJavaScriptAlertPanel(const std::string& message, std::function<void()> completion) override;
    void webContentProcessDidTerminate() override;

    // Status menu (app/statusbar/).
    void menuWillOpen() override;
    void statusItemCannotShowMenu() override;
    void statusItemCannotBeShown() override;
    void statusItemIsShown() override;
    // The actions of the menu items (app/statusbar/commands.cpp, showWindow here).
    void showWindow();
    void disconnect();
    void stopAndQuit();
    void reloadPage();

private:
    void start();
    TaskSpec gatewayTask() const;
    void received(const std::string& chunk);
    void showMessage(const std::string& title, const std::string& detail, bool canRetry);
    void buildStatusItem();
    void refreshMenu();
    void applyProbeAnswer(const std::optional<std::string>& answer);
    void waitBeforeNotice();
    void noticeGraceEnded();
    void press(const std::string& id);
    // A menu action that calls the method on this delegate while it exists.
    std::function<void()> action(void (AppDelegate::*method)());
    void keepIconAtLogin(bool enable);

    Platform& platform_;

    std::shared_ptr<Window> window;
    std::shared_ptr<WebView> webView;
    std::shared_ptr<Task> launcher;
    std::string output;
    bool pageShown = false;
    std::shared_ptr<StatusItem> statusItem;
    std::shared_ptr<MenuItem> stateLine;
    std::shared_ptr<MenuItem> disconnectItem;
    std::shared_ptr<MenuItem> stopItem;
    std::shared_ptr<Timer> stateTimer;
    // After a hidden start, the notice that says the gateway runs waits for a status area
    // (noticeTimer_); it is settled once posted or once the window was shown, and the posted
    // one is withdrawn when a status area shows the item after all.
    std::shared_ptr<Timer> noticeTimer_;
    bool hiddenStartSettled_ = false;
    std::shared_ptr<PostedNotice> hiddenStartNotice_;
    // Whether a status area shows the item: unknown until the bar says.
    std::optional<bool> statusItemShown_;
    const std::string resources;
    const bool startedAtLogin;

    // Where the scan for the announced address goes on from; emptied with output.
    OutputScanner scanner_;
    // Every child started and not yet seen to exit: all of them are stopped at termination.
    std::vector<std::shared_ptr<Task>> children_;
    // Set once the application is ending: nothing starts a child after that (the toolkit may
    // still run queued work, a page's retry among it, after the children were stopped).
    bool terminating_ = false;
    // The child started ahead of the launch sequence, until start() takes it over.
    std::shared_ptr<ChildAhead> childAhead_;
    // When the last start() and the last hand-off to the desktop happened (system uptime): a
    // page cannot make either happen more than once a second.
    std::optional<double> lastStart_;
    std::optional<double> lastHandOff_;
    // The status page in the view, if one is: shown again when the page's process ends.
    struct StatusPage {
        std::string title, detail;
        bool canRetry = false;
    };
    std::optional<StatusPage> statusPage_;
    // When the gateway page was last reloaded because its process ended.
    std::optional<double> lastCrashReload_;
};

}  // namespace dralmik
