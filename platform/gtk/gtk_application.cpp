#include "platform/gtk/gtk_application.h"

#include <gtk/gtk.h>
#include <unistd.h>

#include "platform/gtk/gtk_desktop.h"

namespace dralmik::gtk {

GtkApp::GtkApp(std::optional<std::string> applicationId) : applicationId_(std::move(applicationId)) {
    if (applicationId_ && !g_application_id_is_valid(applicationId_->c_str())) applicationId_.reset();
    desktop().terminate = [this] { terminate(); };
}

GtkApp::~GtkApp() {
    if (app_) g_object_unref(app_);
}

GApplication* GtkApp::application() {
    if (!app_) {
        // Without an identifier there is nothing to be unique by.
        app_ = gtk_application_new(applicationId_ ? applicationId_->c_str() : nullptr,
                                   applicationId_ ? G_APPLICATION_DEFAULT_FLAGS : G_APPLICATION_NON_UNIQUE);
        g_signal_connect(app_, "activate", G_CALLBACK(onActivate), this);
        g_signal_connect(app_, "shutdown", G_CALLBACK(onShutdown), this);
    }
    return G_APPLICATION(app_);
}

bool GtkApp::registerOnce() {
    if (registered_) return true;
    GError* error = nullptr;
    registered_ = g_application_register(application(), nullptr, &error);
    g_clear_error(&error);
    return registered_;
}

std::vector<RunningApplication> GtkApp::runningApplications(const std::string& bundleIdentifier) {
    std::vector<RunningApplication> copies{{static_cast<int>(getpid()), false}};
    if (!app_ && g_application_id_is_valid(bundleIdentifier.c_str())) applicationId_ = bundleIdentifier;
    if (!applicationId_ || *applicationId_ != bundleIdentifier) return copies;
    if (!registerOnce() || !g_application_get_is_remote(application())) return copies;

    // A remote: the primary is whoever owns the application id on the bus.
    GDBusConnection* bus = g_application_get_dbus_connection(application());
    int primary = 0;
    if (bus) {
        GVariant* reply = g_dbus_connection_call_sync(
            bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetConnectionUnixProcessID",
            g_variant_new("(s)", bundleIdentifier.c_str()), G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 5000,
            nullptr, nullptr);
        if (reply) {
            guint32 pid = 0;
            g_variant_get(reply, "(u)", &pid);
            g_variant_unref(reply);
            primary = static_cast<int>(pid);
        }
    }
    // Even when the owner's process id cannot be read, a primary exists: report it with an id
    // that is not ours, so that the hand-off still happens.
    copies.push_back({primary > 0 ? primary : -1, false});
    return copies;
}

void GtkApp::sendReopenEvent(int, const ReopenEvent&) {
    if (!registerOnce() || !g_application_get_is_remote(application())) return;
    g_application_activate(application());
    // activate() on a remote only queues the D-Bus call; the process exits right after.
    if (GDBusConnection* bus = g_application_get_dbus_connection(application()))
        g_dbus_connection_flush_sync(bus, nullptr, nullptr);
}

void GtkApp::setActivationPolicy(ActivationPolicy policy) {
    desktop().policy = policy;
    desktop().applyPolicy();
}

void GtkApp::activateIgnoringOtherApps() {
    for (GtkWindowImpl* window : desktop().windows) {
        if (window->isVisible()) gtk_window_present(window->gtkWindow());
    }
}

void GtkApp::setMainMenu(std::shared_ptr<Menu> menu) {
    auto gtkMenu = std::dynamic_pointer_cast<GtkMenuImpl>(menu);
    desktop().mainMenu = gtkMenu;
    if (!gtkMenu) return;
    for (GtkWindowImpl* window : desktop().windows) window->attachMenuBar(*gtkMenu);
}

void GtkApp::terminate() {
    // Ending the loop makes run() return, which emits "shutdown" (applicationWillTerminate)
    // before the process ends.
    if (running_) {
        g_application_quit(application());
    } else {
        if (auto delegate = delegate_.lock()) delegate->applicationWillTerminate();
        _exit(0);
    }
}

int GtkApp::run() {
    registerOnce();
    g_application_hold(application());  // lives on with no window, for the tray icon
    running_ = true;
    // No arguments: GApplication would take the application's own options for files to open.
    const int status = g_application_run(application(), 0, nullptr);
    running_ = false;
    return status;
}

void GtkApp::onActivate(GApplication*, gpointer data) {
    auto* self = static_cast<GtkApp*>(data);
    auto delegate = self->delegate_.lock();
    if (!self->launched_) {
        // The primary's own first activation is its launch, not a reopen.
        self->launched_ = true;
        if (delegate) delegate->applicationDidFinishLaunching();
        return;
    }
    if (delegate) delegate->applicationShouldHandleReopen(desktop().hasVisibleWindows());
}

void GtkApp::onShutdown(GApplication*, gpointer data) {
    auto* self = static_cast<GtkApp*>(data);
    if (auto delegate = self->delegate_.lock()) delegate->applicationWillTerminate();
}

}  // namespace dralmik::gtk
