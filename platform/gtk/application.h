#pragma once
// The application object on GtkApplication. The application id is the bundle identifier, which
// the first copy claims as a name on the session bus itself (see single_instance.h); the
// GApplication only serves the hand-off at its object path, and never claims anything. Creating
// the object needs no display; running it does.
#include <gtk/gtk.h>

#include <memory>
#include <optional>
#include <string>

#include "platform/application.h"

namespace dralmik::gtk {

class Menu;
class Window;

class Application final : public dralmik::Application {
public:
    Application();
    ~Application() override;

    void setDelegate(std::weak_ptr<ApplicationDelegate> delegate) override { delegate_ = std::move(delegate); }
    void setActivationPolicy(ActivationPolicy policy) override;
    void activate() override;
    void setMainMenu(std::shared_ptr<dralmik::Menu> menu, std::shared_ptr<dralmik::Menu> windowsMenu) override;
    void terminate() override;
    int run() override;

    // The GApplication, made on first use: unique by the id given before, if any, or not unique.
    GtkApplication* gtkApplication();
    // Gives the application its id; too late once the GApplication is made.
    bool setApplicationId(const std::string& id);
    // Registers once: under an id, the application then serves the hand-off on the bus. The
    // toolkit must be up.
    bool registerOnce();
    // Keeps the hand-off calls that reach this process on the bus before it is registered (the
    // name is claimed long before), and makes them again once it is.
    void holdReopensUntilRegistered(GDBusConnection* bus);
    // The object path at which GApplication serves an application id.
    static std::string objectPath(const std::string& id);

private:
    static void onActivate(GApplication*, gpointer self);
    static int onCommandLine(GApplication*, GApplicationCommandLine*, gpointer self);
    static void onShutdown(GApplication*, gpointer self);
    static gboolean onSignal(gpointer self);
    static void onDisplayClosed(GdkDisplay*, gboolean, gpointer self);
    void willTerminateOnce();
    // Gives a window the menu bar and lists it in the windows menu.
    void adoptWindow(Window* window);
    void releaseHeldReopens();

    std::optional<std::string> applicationId_;
    GtkApplication* app_ = nullptr;
    bool registered_ = false;
    bool running_ = false;
    bool terminated_ = false;
    std::weak_ptr<ApplicationDelegate> delegate_;
    std::shared_ptr<Menu> mainMenu_;
    std::shared_ptr<Menu> windowsMenu_;
    bool windowsListed_ = false;
    struct HeldReopens;
    HeldReopens* heldReopens_ = nullptr;  // never freed: the bus's filter may still be running
};

}  // namespace dralmik::gtk
