#pragma once
// The main window. The core relies on: frames in screen points with the origin at the bottom
// left; closing hides the window (it is never destroyed while released-when-closed is off) and
// calls windowWillClose() first; setFrameAutosaveName() applies a frame saved under that name,
// if any, and saves the frame there whenever it changes from then on.
#include <memory>
#include <string>

#include "platform/geometry.h"

namespace dralmik {

class WebView;

enum WindowStyle : unsigned {
    kWindowStyleTitled = 1u << 0,
    kWindowStyleClosable = 1u << 1,
    kWindowStyleMiniaturizable = 1u << 2,
    kWindowStyleResizable = 1u << 3,
};

enum class BackingStore { Retained = 0, Nonretained = 1, Buffered = 2 };

class WindowDelegate {
public:
    virtual ~WindowDelegate() = default;
    virtual void windowWillClose() = 0;
};

class Window {
public:
    virtual ~Window() = default;
    virtual void setTitle(const std::string& title) = 0;
    virtual void setBackgroundColor(Color color) = 0;
    virtual void setTitlebarAppearsTransparent(bool transparent) = 0;
    virtual void setDarkAppearance() = 0;
    virtual void setContentView(std::shared_ptr<WebView> view) = 0;
    virtual void setReleasedWhenClosed(bool released) = 0;
    virtual void setDelegate(std::weak_ptr<WindowDelegate> delegate) = 0;
    virtual void setFrame(Rect frame, bool display) = 0;
    virtual void center() = 0;
    virtual void setFrameAutosaveName(const std::string& name) = 0;
    virtual Rect frame() const = 0;
    virtual void setMinSize(Size size) = 0;
    virtual void makeKeyAndOrderFront() = 0;
    virtual bool isMiniaturized() const = 0;
    virtual void deminiaturize() = 0;
};

}  // namespace dralmik
