#pragma once
// The main window. The core relies on:
// - frames in screen points with the origin at the bottom left of the screen;
// - the window is made hidden, from one description, and is never destroyed: closing it (its
//   close button, the Close command, the window manager) hides it and calls windowWillClose()
//   first, and showing it again shows the same window and content;
// - from creation on, the frame is saved under the autosave name whenever it changes, and
//   savedFrame() is the frame saved there by an earlier run, if any.
#include <memory>
#include <optional>
#include <string>

#include "platform/geometry.h"

namespace dralmik {

class WebView;

enum class Appearance { System, Dark };

struct WindowDescription {
    std::string title;
    Size contentSize;
    Size minimumSize;
    Color backgroundColor;
    Appearance appearance = Appearance::System;
    std::string frameAutosaveName;
};

class WindowDelegate {
public:
    virtual ~WindowDelegate() = default;
    // Asked before the window closes by the user's hand; false keeps it open.
    virtual bool windowShouldClose() = 0;
    virtual void windowWillClose() = 0;
};

class Window {
public:
    virtual ~Window() = default;
    virtual void setContentView(std::shared_ptr<WebView> view) = 0;
    virtual void setDelegate(std::weak_ptr<WindowDelegate> delegate) = 0;
    virtual Rect frame() const = 0;
    // A frame that would leave the title bar out of reach is moved onto the nearest monitor; one
    // on no monitor at all opens where center() puts the window.
    virtual void setFrame(Rect frame) = 0;
    // Where a first window opens: on one monitor (the primary one, or the one the user is at),
    // centred across it and a little above its middle.
    virtual void center() = 0;
    virtual std::optional<Rect> savedFrame() const = 0;
    virtual void makeKeyAndOrderFront() = 0;
    virtual bool isMiniaturized() const = 0;
    virtual void miniaturize() = 0;
    virtual void deminiaturize() = 0;
};

}  // namespace dralmik
