#pragma once
// The Linux desktop backend: every port on GTK 3, WebKitGTK, AppIndicator and GLib, with the
// POSIX pieces for processes, files and the bundle. The accessors that the command-line paths
// use (processInfo, bundle, system, appService, runningCopies, files) need no display; the
// user-interface ones are made on first use, from application() on.
#include <memory>

#include "platform/platform.h"

namespace dralmik::gtk {

class GtkPlatform : public Platform {
public:
    GtkPlatform(int argc, const char* const* argv);
    ~GtkPlatform() override;

    ProcessInfo& processInfo() override;
    Bundle& bundle() override;
    System& system() override;
    AppService& appService() override;
    RunningCopies& runningCopies() override;
    Files& files() override;

    Application& application() override;
    MenuFactory& menus() override;
    StatusBar& statusBar() override;
    TimerScheduler& timers() override;
    Alerts& alerts() override;
    Workspace& workspace() override;
    MainQueue& mainQueue() override;
    ProcessLauncher& processLauncher() override;
    std::shared_ptr<WebView> makeWebView(Rect frame, const WebViewConfiguration& configuration) override;
    std::shared_ptr<Window> makeWindow(Rect contentRect, unsigned styleMask, BackingStore backing, bool defer) override;

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

// Answers as the system level this backend provides: service-managed login items and the
// under-page colour (macOS 13.0); nothing newer.
class GtkSystem : public System {
public:
    bool isAtLeast(int major, int minor) const override { return major < 13 || (major == 13 && minor <= 0); }
};

}  // namespace dralmik::gtk
