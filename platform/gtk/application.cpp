#include "platform/gtk/application.h"

#include <gdk/gdkwayland.h>
#include <glib-unix.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include "common/launch_timeline.h"
#include "platform/gtk/desktop.h"
#include "platform/gtk/menu.h"
#include "platform/gtk/window.h"

namespace dralmik::gtk {
namespace {

// The one application object, for the exit hook.
Application* running = nullptr;

}  // namespace

Application::Application() {
    desktop().terminate = [this] { terminate(); };
    desktop().lastWindowClosed = [this] {
        auto delegate = delegate_.lock();
        if (delegate && delegate->applicationShouldTerminateAfterLastWindowClosed()) terminate();
    };
}

Application::~Application() {
    if (app_) g_object_unref(app_);
}

GtkApplication* Application::gtkApplication() {
    if (!app_) {
        // The primary's own start arrives as its command line, so that every "activate" is a
        // reopen: the user's, or a second copy's. Without an identifier there is nothing to be
        // unique by.
        const auto flags = GApplicationFlags(G_APPLICATION_HANDLES_COMMAND_LINE |
                                             (applicationId_ ? G_APPLICATION_DEFAULT_FLAGS : G_APPLICATION_NON_UNIQUE));
        app_ = gtk_application_new(applicationId_ ? applicationId_->c_str() : nullptr, flags);
        g_signal_connect(app_, "activate", G_CALLBACK(onActivate), this);
        g_signal_connect(app_, "command-line", G_CALLBACK(onCommandLine), this);
        g_signal_connect(app_, "shutdown", G_CALLBACK(onShutdown), this);
    }
    return app_;
}

bool Application::setApplicationId(const std::string& id) {
    if (app_ || !g_application_id_is_valid(id.c_str())) return false;
    applicationId_ = id;
    return true;
}

bool Application::registerOnce() {
    if (registered_) return true;
    GError* error = nullptr;
    registered_ = g_application_register(G_APPLICATION(gtkApplication()), nullptr, &error);
    launchStep("toolkit up, registered on the bus");
    g_clear_error(&error);
    return registered_;
}

void Application::setActivationPolicy(ActivationPolicy policy) {
    desktop().policy = policy;
    for (Window* window : desktop().windows()) window->applyPolicy();
}

void Application::activate() {
    // On Wayland only a token from the compositor brings a window forward, and bringing the
    // window forward has used it: asking again would only ask the compositor to refuse.
    if (GdkDisplay* display = gdk_display_get_default(); display && GDK_IS_WAYLAND_DISPLAY(display)) return;
    for (Window* window : desktop().windows()) {
        if (window->isVisible()) gtk_window_present(window->gtkWindow());
    }
}

void Application::setMainMenu(std::shared_ptr<dralmik::Menu> menu, std::shared_ptr<dralmik::Menu> windowsMenu) {
    mainMenu_ = std::dynamic_pointer_cast<Menu>(menu);
    windowsMenu_ = std::dynamic_pointer_cast<Menu>(windowsMenu);
    for (Window* window : desktop().windows()) adoptWindow(window);
    desktop().windowAdded = [this](Window* window) { adoptWindow(window); };
}

void Application::adoptWindow(Window* window) {
    if (mainMenu_) window->attachMenuBar(*mainMenu_);
    if (!windowsMenu_) return;
    // The windows menu lists the windows under its own items.
    if (!windowsListed_) windowsMenu_->addSeparator();
    windowsListed_ = true;
    windowsMenu_->addItem(
        std::make_shared<MenuItem>(window->title(), [window] { window->makeKeyAndOrderFront(); }, std::nullopt, Shortcut{}));
}

void Application::willTerminateOnce() {
    if (terminated_) return;
    terminated_ = true;
    if (auto delegate = delegate_.lock()) delegate->applicationWillTerminate();
}

void Application::terminate() {
    // Ending the loop makes run() return, which emits "shutdown" (applicationWillTerminate)
    // before the process ends.
    if (running_) {
        g_application_quit(G_APPLICATION(gtkApplication()));
    } else {
        willTerminateOnce();
        _exit(0);
    }
}

int Application::run() {
    registerOnce();
    g_application_hold(G_APPLICATION(gtkApplication()));  // lives on with no window, for the tray icon
    running_ = true;
    running = this;
    // The end of the session, kill and Control-C end the application as Quit does; so does
    // losing the display, after which GTK exits the process itself.
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) g_unix_signal_add(signal, onSignal, this);
    if (GdkDisplay* display = gdk_display_get_default())
        g_signal_connect(display, "closed", G_CALLBACK(onDisplayClosed), this);
    std::atexit([] {
        if (running) running->willTerminateOnce();
    });
    // No arguments: the application's own options are not GApplication's.
    const int status = g_application_run(G_APPLICATION(gtkApplication()), 0, nullptr);
    running_ = false;
    return status;
}

gboolean Application::onSignal(gpointer data) {
    static_cast<Application*>(data)->terminate();
    return G_SOURCE_CONTINUE;
}

void Application::onDisplayClosed(GdkDisplay*, gboolean, gpointer data) { static_cast<Application*>(data)->terminate(); }

int Application::onCommandLine(GApplication*, GApplicationCommandLine*, gpointer data) {
    if (auto delegate = static_cast<Application*>(data)->delegate_.lock()) delegate->applicationDidFinishLaunching();
    return 0;
}

void Application::onActivate(GApplication*, gpointer data) {
    if (auto delegate = static_cast<Application*>(data)->delegate_.lock()) delegate->applicationShouldHandleReopen();
}

void Application::onShutdown(GApplication*, gpointer data) { static_cast<Application*>(data)->willTerminateOnce(); }

}  // namespace dralmik::gtk
