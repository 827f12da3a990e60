#pragma once
// The application object on GtkApplication. The application id is the bundle identifier; the
// first copy owns it as a name on the session bus (see single_instance.h). Creating the object
// needs no display; running it does.
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
    // Registers once (under an id, this claims it on the bus).
    bool registerOnce();

private:
    static void onActivate(GApplication*, gpointer self);
    static int onCommandLine(GApplication*, GApplicationCommandLine*, gpointer self);
    static void onShutdown(GApplication*, gpointer self);
    static gboolean onSignal(gpointer self);
    static void onDisplayClosed(GdkDisplay*, gboolean, gpointer self);
    void willTerminateOnce();
    // Gives a window the menu bar and lists it in the windows menu.
    void adoptWindow(Window* window);

    std::optional<std::string> applicationId_;
    GtkApplication* app_ = nullptr;
    bool registered_ = false;
    bool running_ = false;
    bool terminated_ = false;
    std::weak_ptr<ApplicationDelegate> delegate_;
    std::shared_ptr<Menu> mainMenu_;
    std::shared_ptr<Menu> windowsMenu_;
    bool windowsListed_ = false;
};

}  // namespace dralmik::gtk
