#include "platform/gtk/gtk_platform.h"

#include <glib.h>

#include "platform/gtk/glib_loop.h"
#include "platform/gtk/gtk_application.h"
#include "platform/gtk/gtk_desktop.h"
#include "platform/gtk/xdg_autostart.h"
#include "platform/posix/bundle_paths.h"
#include "platform/posix/posix_bundle.h"
#include "platform/posix/posix_files.h"
#include "platform/posix/posix_process_info.h"
#include "platform/posix/posix_task.h"

namespace dralmik::gtk {
namespace {

// The folder of this application's own files under an XDG base folder: named after the bundle
// identifier, or after the program when it runs outside a bundle.
std::string ownFolder(const std::string& base, const Bundle& bundle) {
    return base + "/" + bundle.bundleIdentifier().value_or("dralmik-gateway");
}

std::string displayName(const Bundle& bundle) {
    const auto executable = bundle.executablePath();
    if (!executable) return "Dralmik LLM Gateway";
    gchar* base = g_path_get_basename(executable->c_str());
    std::string name = base;
    g_free(base);
    return name;
}

}  // namespace

struct GtkPlatform::Parts {
    Parts(int argc, const char* const* argv)
        : processInfo(argc, argv), bundle(posix::currentExecutablePath()),
          appService(bundle.bundlePath(), std::string(g_get_user_config_dir()) + "/autostart",
                     bundle.bundleIdentifier().value_or("dralmik-gateway") + ".desktop", displayName(bundle)),
          app(bundle.bundleIdentifier()), launcher(mainQueue),
          statusBar(ownFolder(g_get_user_runtime_dir(), bundle) + "/icons") {}

    posix::PosixProcessInfo processInfo;
    posix::PosixBundle bundle;
    GtkSystem system;
    XdgAppService appService;
    posix::PosixFiles files;
    GtkApp app;
    GLibMainQueue mainQueue;
    posix::PosixProcessLauncher launcher;
    GLibTimerScheduler timers;
    GtkMenuFactory menus;
    GtkStatusBar statusBar;
    GtkAlerts alerts;
    GtkWorkspace workspace;
    bool toolkitUp = false;
};

GtkPlatform::GtkPlatform(int argc, const char* const* argv) : parts_(std::make_unique<Parts>(argc, argv)) {
    desktop().applicationName = displayName(parts_->bundle);
    g_set_application_name(desktop().applicationName.c_str());
}

GtkPlatform::~GtkPlatform() = default;

ProcessInfo& GtkPlatform::processInfo() { return parts_->processInfo; }
Bundle& GtkPlatform::bundle() { return parts_->bundle; }
System& GtkPlatform::system() { return parts_->system; }
AppService& GtkPlatform::appService() { return parts_->appService; }
RunningCopies& GtkPlatform::runningCopies() { return parts_->app; }
Files& GtkPlatform::files() { return parts_->files; }

Application& GtkPlatform::application() {
    if (!parts_->toolkitUp) {
        parts_->toolkitUp = true;
        // GTK takes its own options (--display and the like) from the command line; the core
        // reads the arguments from processInfo, which keeps them all.
        if (!gtk_init_check(nullptr, nullptr)) {
            g_printerr("cannot open display: %s\n", g_getenv("DISPLAY") ? g_getenv("DISPLAY") : "");
            _exit(1);
        }
    }
    return parts_->app;
}

MenuFactory& GtkPlatform::menus() { return parts_->menus; }
StatusBar& GtkPlatform::statusBar() { return parts_->statusBar; }
TimerScheduler& GtkPlatform::timers() { return parts_->timers; }
Alerts& GtkPlatform::alerts() { return parts_->alerts; }
Workspace& GtkPlatform::workspace() { return parts_->workspace; }
MainQueue& GtkPlatform::mainQueue() { return parts_->mainQueue; }
ProcessLauncher& GtkPlatform::processLauncher() { return parts_->launcher; }

std::shared_ptr<WebView> GtkPlatform::makeWebView(Rect frame, const WebViewConfiguration& configuration) {
    application();
    return std::make_shared<GtkWebViewImpl>(frame, configuration);
}

std::shared_ptr<Window> GtkPlatform::makeWindow(Rect contentRect, unsigned styleMask, BackingStore, bool) {
    application();
    return std::make_shared<GtkWindowImpl>(contentRect, styleMask,
                                           ownFolder(g_get_user_config_dir(), parts_->bundle) + "/window-frames.ini");
}

}  // namespace dralmik::gtk
