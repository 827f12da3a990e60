#include "platform/gtk/platform.h"

#include <atk/atk.h>
#include <glib.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "common/launch_timeline.h"
#include "platform/gtk/alerts.h"
#include "platform/gtk/application.h"
#include "platform/gtk/desktop.h"
#include "platform/gtk/main_queue.h"
#include "platform/gtk/menu.h"
#include "platform/gtk/notifications.h"
#include "platform/gtk/single_instance.h"
#include "platform/gtk/status_item.h"
#include "platform/gtk/system.h"
#include "platform/gtk/timer.h"
#include "platform/gtk/web_view.h"
#include "platform/gtk/window.h"
#include "platform/gtk/workspace.h"
#include "platform/gtk/app_service.h"
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

// How the web engine runs in this application, set in the process's environment before any of
// it starts (the web processes take their settings from the environment they are started with;
// a value already set there is kept, so a user can override either). They are the engine's
// alone: the children the core starts and the programs opened through the desktop get the
// environment the application was started with. Returns the names it set.
//
// JavaScriptCore collects the young generation on a timer whose delay shrinks as garbage
// grows. The page-state probe leaves a few kilobytes of garbage every two seconds on a page
// that is otherwise idle, and at the engine's default rate (0.0025) that timer does not come
// due: the web process grew steadily, about 9 MB an hour. At 0.03 it collects within seconds
// of the probe's garbage, and the web process stays flat at the same CPU. The ceiling on the
// timer's share of CPU and the collections a busy page's own allocations start are unchanged.
//
// The engine's own allocator wakes a scavenger thread every 100 ms for about a second after
// each probe, in both processes: most of the idle cost of a tray application that asks its
// page every two seconds. "Malloc" makes the engine allocate with the C library instead, which
// has no such thread; memory after load is within 1% of the engine's allocator. The price is
// the engine allocator's hardening (type-segregated heaps), which matters less here since the
// view only ever shows the local gateway's pages; a browser opened from the page keeps it.
std::vector<std::string> tuneWebEngine() {
    std::vector<std::string> set;
    for (const auto& [name, value] : {std::pair{"JSC_percentCPUPerMBForEdenTimer", "0.03"}, std::pair{"Malloc", "1"}}) {
        if (g_getenv(name)) continue;
        g_setenv(name, value, TRUE);
        set.push_back(name);
    }
    return set;
}

}  // namespace

struct Platform::Parts {
    Parts(int argc, const char* const* argv)
        : processInfo(argc, argv), bundle(posix::currentExecutablePath()),
          appService(bundle.bundlePath(), std::string(g_get_user_config_dir()) + "/autostart",
                     bundle.bundleIdentifier().value_or("dralmik-gateway") + ".desktop", displayName(bundle)),
          singleInstance(app), launcher(mainQueue),
          statusBar({ownFolder(g_get_user_runtime_dir(), bundle) + "/icons", bundle.resourcePath() + "/icons",
                     bundle.bundleIdentifier().value_or("dralmik-gateway")}),
          notifications() {}

    posix::PosixProcessInfo processInfo;
    posix::PosixBundle bundle;
    System system;
    AppService appService;
    posix::PosixFiles files;
    Application app;
    SingleInstance singleInstance;
    MainQueue mainQueue;
    posix::PosixProcessLauncher launcher;
    TimerScheduler timers;
    MenuFactory menus;
    StatusBar statusBar;
    Notifications notifications;
    Alerts alerts;
    Workspace workspace;
    bool toolkitUp = false;
};

Platform::Platform(int argc, const char* const* argv) : parts_(std::make_unique<Parts>(argc, argv)) {
    // A launcher on Wayland hands over its activation token as XDG_ACTIVATION_TOKEN (on X11 as
    // the startup id, which GTK takes itself): it goes with a hand-off to the running copy, or
    // lets this copy's first window take the focus, and never reaches the programs this one
    // starts.
    if (const char* token = g_getenv("XDG_ACTIVATION_TOKEN")) {
        if (*token && g_utf8_validate(token, -1, nullptr)) desktop().setActivationToken(token);
        g_unsetenv("XDG_ACTIVATION_TOKEN");
    }
    const std::vector<std::string> engineOnly = tuneWebEngine();
    parts_->processInfo.setOwnVariables(engineOnly);
    parts_->workspace.setOwnVariables(engineOnly);
    desktop().applicationName = displayName(parts_->bundle);
    g_set_application_name(desktop().applicationName.c_str());
    // The windows' class and icon are the desktop entry's, so that panels and docks group the
    // window with its launcher.
    if (auto identifier = parts_->bundle.bundleIdentifier()) {
        desktop().iconName = *identifier;
        const std::string file = parts_->bundle.resourcePath() + "/icons/hicolor/scalable/apps/" + *identifier + ".svg";
        if (g_file_test(file.c_str(), G_FILE_TEST_EXISTS)) desktop().iconFile = file;
        for (int size : {16, 24, 32, 48, 64, 128}) {
            const std::string png = parts_->bundle.resourcePath() + "/icons/window/" + std::to_string(size) + ".png";
            if (g_file_test(png.c_str(), G_FILE_TEST_EXISTS)) desktop().windowIconFiles.push_back(png);
        }
        g_set_prgname(identifier->c_str());
    }
}

Platform::~Platform() = default;

ProcessInfo& Platform::processInfo() { return parts_->processInfo; }
Bundle& Platform::bundle() { return parts_->bundle; }
dralmik::System& Platform::system() { return parts_->system; }
dralmik::AppService& Platform::appService() { return parts_->appService; }
dralmik::SingleInstance& Platform::singleInstance() { return parts_->singleInstance; }
Files& Platform::files() { return parts_->files; }

bool Platform::bringUpUserInterface() {
    if (parts_->toolkitUp) return true;
    // GTK takes its own options (--display and the like) from the command line; the core
    // reads the arguments from processInfo, which keeps them all.
    if (!gtk_init_check(nullptr, nullptr)) {
        g_printerr("cannot open display: %s\n", g_getenv("DISPLAY") ? g_getenv("DISPLAY") : "");
        return false;
    }
    parts_->toolkitUp = true;
    launchStep("toolkit up");
    // GTK's start-up capitalises the class it takes from the program name; the entry's is not.
    if (auto identifier = parts_->bundle.bundleIdentifier()) gdk_set_program_class(identifier->c_str());
    // The bundle's own icons, for the windows and the about dialog.
    const std::string icons = parts_->bundle.resourcePath() + "/icons";
    gtk_icon_theme_append_search_path(gtk_icon_theme_get_default(), icons.c_str());
    desktop().useApplicationIcon();
    // Screen readers name the application after its accessible root, which GTK names after the
    // program (the desktop entry's id, which the windows' class and Wayland's app id must stay):
    // the root answers with the application's own name instead.
    if (AtkObject* root = atk_get_root()) {
        ATK_OBJECT_GET_CLASS(root)->get_name = [](AtkObject*) -> const gchar* {
            return desktop().applicationName.c_str();
        };
    }
    return true;
}

dralmik::Application& Platform::application() {
    if (!bringUpUserInterface()) _exit(1);
    return parts_->app;
}

dralmik::MenuFactory& Platform::menus() { return parts_->menus; }
dralmik::StatusBar& Platform::statusBar() { return parts_->statusBar; }
dralmik::Notifications& Platform::notifications() { return parts_->notifications; }
dralmik::TimerScheduler& Platform::timers() { return parts_->timers; }
dralmik::Alerts& Platform::alerts() { return parts_->alerts; }
dralmik::Workspace& Platform::workspace() { return parts_->workspace; }
dralmik::MainQueue& Platform::mainQueue() { return parts_->mainQueue; }
ProcessLauncher& Platform::processLauncher() { return parts_->launcher; }

std::shared_ptr<dralmik::WebView> Platform::makeWebView(const WebViewConfiguration& configuration) {
    application();
    return std::make_shared<WebView>(configuration);
}

std::shared_ptr<dralmik::Window> Platform::makeWindow(const WindowDescription& description) {
    application();
    return std::make_shared<Window>(description, parts_->app.gtkApplication(),
                                    ownFolder(g_get_user_config_dir(), parts_->bundle) + "/window-frames.ini");
}

}  // namespace dralmik::gtk
