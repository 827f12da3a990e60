#pragma once
// The application object and its event loop. The core relies on:
// - run() calls applicationDidFinishLaunching() once the loop is up and returns when it ends;
// - applicationShouldHandleReopen() comes when the user reopens the application or a second
//   copy hands over to this one (never for the launch itself);
// - when the last visible window closes, the backend asks
//   applicationShouldTerminateAfterLastWindowClosed() and terminates on true;
// - terminate(), and the session or a signal ending the process, call
//   applicationWillTerminate() once before the process ends.
#include <memory>

namespace dralmik {

class Menu;

// Regular: the application's windows may show, with a taskbar or Dock entry and the main menu.
// Accessory: only the status item; no window on screen is the core's own doing.
enum class ActivationPolicy { Regular, Accessory };

class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;
    virtual void applicationDidFinishLaunching() = 0;
    virtual bool applicationShouldTerminateAfterLastWindowClosed() = 0;
    virtual void applicationShouldHandleReopen() = 0;
    virtual void applicationWillTerminate() = 0;
};

class Application {
public:
    virtual ~Application() = default;
    virtual void setDelegate(std::weak_ptr<ApplicationDelegate> delegate) = 0;
    virtual void setActivationPolicy(ActivationPolicy policy) = 0;
    // Brings the application's windows in front of every other program's.
    virtual void activate() = 0;
    // The menu bar, whose submenus are the top-level menus; windowsMenu (one of them) lists the
    // open windows.
    virtual void setMainMenu(std::shared_ptr<Menu> menu, std::shared_ptr<Menu> windowsMenu) = 0;
    virtual void terminate() = 0;
    virtual int run() = 0;
};

}  // namespace dralmik
