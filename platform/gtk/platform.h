#pragma once
// The Linux desktop backend: every port on GTK 3, WebKitGTK, libdbusmenu and GLib, with the
// POSIX pieces for processes, files and the bundle. The accessors that the command-line paths
// use (processInfo, bundle, system, appService, singleInstance, files) need no display; the
// toolkit comes up with bringUpUserInterface(), or else the first call of application().
#include <memory>

#include "platform/platform.h"

namespace dralmik::gtk {

class Platform final : public dralmik::Platform {
public:
    Platform(int argc, const char* const* argv);
    ~Platform() override;

    ProcessInfo& processInfo() override;
    Bundle& bundle() override;
    dralmik::System& system() override;
    dralmik::AppService& appService() override;
    dralmik::SingleInstance& singleInstance() override;
    Files& files() override;

    bool bringUpUserInterface() override;
    dralmik::Application& application() override;
    dralmik::MenuFactory& menus() override;
    dralmik::StatusBar& statusBar() override;
    dralmik::Notifications& notifications() override;
    dralmik::TimerScheduler& timers() override;
    dralmik::Alerts& alerts() override;
    dralmik::Workspace& workspace() override;
    dralmik::MainQueue& mainQueue() override;
    ProcessLauncher& processLauncher() override;
    std::shared_ptr<dralmik::WebView> makeWebView(const WebViewConfiguration& configuration) override;
    std::shared_ptr<dralmik::Window> makeWindow(const WindowDescription& description) override;

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

}  // namespace dralmik::gtk
