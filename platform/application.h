#pragma once
// The application object and its event loop. The core relies on: run() calls the delegate's
// didFinishLaunching() once the loop is up and returns only when the loop ends; terminate()
// calls willTerminate() and then ends the process; shouldHandleReopen() is called when the
// user reopens the application or a second copy hands over to this one.
#include <memory>

namespace dralmik {

class Menu;

enum class ActivationPolicy { Regular = 0, Accessory = 1 };

inline constexpr unsigned kActivateIgnoringOtherApps = 2;

class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;
    virtual void applicationDidFinishLaunching() = 0;
    virtual bool applicationShouldTerminateAfterLastWindowClosed() = 0;
    virtual bool applicationShouldHandleReopen(bool hasVisibleWindows) = 0;
    virtual void applicationWillTerminate() = 0;
};

class Application {
public:
    virtual ~Application() = default;
    virtual void setDelegate(std::weak_ptr<ApplicationDelegate> delegate) = 0;
    virtual void setActivationPolicy(ActivationPolicy policy) = 0;
    virtual void activateIgnoringOtherApps() = 0;
    virtual void setMainMenu(std::shared_ptr<Menu> menu) = 0;
    virtual void setWindowsMenu(std::shared_ptr<Menu> menu) = 0;
    virtual void terminate() = 0;
    virtual int run() = 0;
};

}  // namespace dralmik
