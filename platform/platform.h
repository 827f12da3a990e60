#pragma once
// Everything the core asks of the system, in one place. A backend implements this once; the
// test platform implements it to record what the core asked for.
#include <memory>

#include "platform/alert.h"
#include "platform/app_service.h"
#include "platform/application.h"
#include "platform/bundle.h"
#include "platform/files.h"
#include "platform/main_queue.h"
#include "platform/menu.h"
#include "platform/notifications.h"
#include "platform/process_info.h"
#include "platform/single_instance.h"
#include "platform/status_item.h"
#include "platform/system.h"
#include "platform/task.h"
#include "platform/timer.h"
#include "platform/web_view.h"
#include "platform/window.h"
#include "platform/workspace.h"

namespace dralmik {

class Platform {
public:
    virtual ~Platform() = default;

    // Available before the application object exists (the command-line paths use them).
    virtual ProcessInfo& processInfo() = 0;
    virtual Bundle& bundle() = 0;
    virtual System& system() = 0;
    virtual AppService& appService() = 0;
    virtual SingleInstance& singleInstance() = 0;
    virtual Files& files() = 0;

    // Brings the toolkit up, once: false, after saying why on standard error, when there is no
    // user interface to be had (no display). What follows needs it to have answered true;
    // the first call of application() brings the toolkit up if nothing did before.
    virtual bool bringUpUserInterface() = 0;

    // The user interface.
    virtual Application& application() = 0;
    virtual MenuFactory& menus() = 0;
    virtual StatusBar& statusBar() = 0;
    virtual Notifications& notifications() = 0;
    virtual TimerScheduler& timers() = 0;
    virtual Alerts& alerts() = 0;
    virtual Workspace& workspace() = 0;
    virtual MainQueue& mainQueue() = 0;
    virtual ProcessLauncher& processLauncher() = 0;
    virtual std::shared_ptr<WebView> makeWebView(const WebViewConfiguration& configuration) = 0;
    virtual std::shared_ptr<Window> makeWindow(const WindowDescription& description) = 0;
};

}  // namespace dralmik
