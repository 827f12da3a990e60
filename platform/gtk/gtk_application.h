#pragma once
// The application object on GtkApplication, which also gives single-instance behaviour: the
// application id is the bundle identifier, owned as a name on the D-Bus session bus by the
// first copy (the primary); a later copy registers as a remote of it. Creating the object needs
// no display; registering the primary runs GTK's start-up, which does.
#include <gio/gio.h>

#include <memory>
#include <optional>
#include <string>

#include "platform/application.h"
#include "platform/running_copies.h"

typedef struct _GtkApplication GtkApplication;

namespace dralmik::gtk {

class GtkApp : public Application, public RunningCopies {
public:
    explicit GtkApp(std::optional<std::string> applicationId);
    ~GtkApp() override;

    void setDelegate(std::weak_ptr<ApplicationDelegate> delegate) override { delegate_ = std::move(delegate); }
    void setActivationPolicy(ActivationPolicy policy) override;
    void activateIgnoringOtherApps() override;
    void setMainMenu(std::shared_ptr<Menu> menu) override;
    void setWindowsMenu(std::shared_ptr<Menu>) override {}  // the window lists itself in the taskbar
    void terminate() override;
    int run() override;

    // This process first, then the primary when this process is a remote of it.
    std::vector<RunningApplication> runningApplications(const std::string& bundleIdentifier) override;
    // The primary's "activate": its reopen.
    void sendReopenEvent(int processIdentifier, const ReopenEvent& event) override;
    void activate(int, unsigned) override {}  // the primary brings its own window forward

private:
    GApplication* application();
    bool registerOnce();
    static void onActivate(GApplication*, gpointer self);
    static void onShutdown(GApplication*, gpointer self);

    std::optional<std::string> applicationId_;
    GtkApplication* app_ = nullptr;
    bool registered_ = false;
    bool launched_ = false;
    bool running_ = false;
    std::weak_ptr<ApplicationDelegate> delegate_;
};

}  // namespace dralmik::gtk
