#include "platform/gtk/application.h"

#include <gdk/gdkwayland.h>
#include <glib-unix.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "common/launch_timeline.h"
#include "platform/gtk/desktop.h"
#include "platform/gtk/menu.h"
#include "platform/gtk/window.h"

namespace dralmik::gtk {
namespace {

// The one application object, for the exit hook.
Application* running = nullptr;

constexpr const char* kApplicationInterface = "org.gtk.Application";

}  // namespace

// The hand-off calls that came before the application served them. The bus's filter runs on
// the bus's own thread, hence the lock.
struct Application::HeldReopens {
    GDBusConnection* bus = nullptr;
    std::string path;
    guint filter = 0;
    std::mutex mutex;
    bool released = false;
    std::vector<GDBusMessage*> calls;

    static GDBusMessage* hold(GDBusConnection*, GDBusMessage* message, gboolean incoming, gpointer data) {
        auto* self = static_cast<HeldReopens*>(data);
        if (!incoming || g_dbus_message_get_message_type(message) != G_DBUS_MESSAGE_TYPE_METHOD_CALL ||
            g_strcmp0(g_dbus_message_get_path(message), self->path.c_str()) != 0 ||
            g_strcmp0(g_dbus_message_get_interface(message), kApplicationInterface) != 0 ||
            g_strcmp0(g_dbus_message_get_member(message), "Activate") != 0)
            return message;
        std::lock_guard<std::mutex> lock(self->mutex);
        if (self->released) return message;
        self->calls.push_back(message);  // the filter's reference, kept
        return nullptr;
    }
};

std::string Application::objectPath(const std::string& id) {
    std::string path = "/" + id;
    for (char& c : path) {
        if (c == '.') c = '/';
        if (c == '-') c = '_';
    }
    return path;
}

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
        // reopen: the user's, or a second copy's. Which copy is the primary was decided by the
        // claim of the name (single_instance.h); the GApplication never asks the bus again.
        const auto flags = GApplicationFlags(G_APPLICATION_HANDLES_COMMAND_LINE | G_APPLICATION_NON_UNIQUE);
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
    launchStep("registered on the bus");
    g_clear_error(&error);
    releaseHeldReopens();
    return registered_;
}

void Application::holdReopensUntilRegistered(GDBusConnection* bus) {
    if (heldReopens_ || !applicationId_) return;
    heldReopens_ = new HeldReopens;
    heldReopens_->bus = G_DBUS_CONNECTION(g_object_ref(bus));
    heldReopens_->path = objectPath(*applicationId_);
    heldReopens_->filter = g_dbus_connection_add_filter(bus, HeldReopens::hold, heldReopens_, nullptr);
}

void Application::releaseHeldReopens() {
    if (!heldReopens_) return;
    HeldReopens& held = *heldReopens_;
    std::vector<GDBusMessage*> calls;
    {
        std::lock_guard<std::mutex> lock(held.mutex);
        if (held.released) return;
        held.released = true;
        calls.swap(held.calls);
    }
    g_dbus_connection_remove_filter(held.bus, held.filter);
    // Each call is made again, to this process, now that the application serves it; a caller
    // that waits for an answer gets it now.
    const char* self = g_dbus_connection_get_unique_name(held.bus);
    for (GDBusMessage* call : calls) {
        GVariant* body = g_dbus_message_get_body(call);
        if (self && body && g_variant_is_of_type(body, G_VARIANT_TYPE("(a{sv})"))) {
            g_dbus_connection_call(held.bus, self, held.path.c_str(), kApplicationInterface, "Activate", body, nullptr,
                                   G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
        }
        if (!(g_dbus_message_get_flags(call) & G_DBUS_MESSAGE_FLAGS_NO_REPLY_EXPECTED)) {
            GDBusMessage* reply = g_dbus_message_new_method_reply(call);
            g_dbus_connection_send_message(held.bus, reply, G_DBUS_SEND_MESSAGE_FLAGS_NONE, nullptr, nullptr);
            g_object_unref(reply);
        }
        g_object_unref(call);
    }
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
