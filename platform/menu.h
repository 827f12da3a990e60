#pragma once
// Menus and their items, for the main menu and the status menu. The core relies on:
// - an item keeps the title, hidden and enabled states the core sets (nothing enables or
//   disables an item behind the core's back), and a hidden or disabled item does nothing;
// - choosing an item runs its action on the main thread: the core's own callable, or one of
//   the standard actions, which the backend carries out where the desktop has them (the
//   application for about, hide, show all and quit; the focused web content for the edit
//   commands; the key window for minimize and close). A standard action the desktop cannot
//   carry out leaves its item disabled;
// - menuWillOpen() comes just before the menu opens.
#include <functional>
#include <memory>
#include <string>

namespace dralmik {

enum class StandardAction {
    About,
    Hide,
    HideOthers,
    ShowAll,
    Quit,
    Undo,
    Redo,
    Cut,
    Copy,
    Paste,
    SelectAll,
    Minimize,
    Close,
};

enum Modifier : unsigned {
    kModifierCommand = 1u << 0,  // the desktop's primary shortcut modifier (Control on Linux)
    kModifierShift = 1u << 1,
    kModifierOption = 1u << 2,   // Alt
};

// A key equivalent: one character, or none when empty.
struct Shortcut {
    std::string key;
    unsigned modifiers = kModifierCommand;
};

class MenuItem {
public:
    virtual ~MenuItem() = default;
    virtual void setTitle(const std::string& title) = 0;
    virtual void setHidden(bool hidden) = 0;
    virtual void setEnabled(bool enabled) = 0;
};

class MenuDelegate {
public:
    virtual ~MenuDelegate() = default;
    virtual void menuWillOpen() = 0;
};

class Menu {
public:
    virtual ~Menu() = default;
    virtual void addItem(std::shared_ptr<MenuItem> item) = 0;
    virtual void addSeparator() = 0;
    // An untitled item that opens the submenu (the submenu's title, or the application's name
    // when it has none, is what a menu bar shows).
    virtual void addSubmenu(std::shared_ptr<Menu> submenu) = 0;
    virtual void setDelegate(std::weak_ptr<MenuDelegate> delegate) = 0;
};

class MenuFactory {
public:
    virtual ~MenuFactory() = default;
    virtual std::shared_ptr<Menu> makeMenu(const std::string& title) = 0;
    // An item whose action is the core's; without an action the item only shows its title.
    virtual std::shared_ptr<MenuItem> makeItem(const std::string& title, std::function<void()> action,
                                               Shortcut shortcut = {}) = 0;
    virtual std::shared_ptr<MenuItem> makeStandardItem(const std::string& title, StandardAction action,
                                                       Shortcut shortcut = {}) = 0;
};

}  // namespace dralmik
