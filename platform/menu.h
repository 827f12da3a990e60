#pragma once
// Menus and their items, for the main menu and the status menu. The core relies on: items keep
// the title, hidden and enabled states it sets (the status menu does not auto-enable); an item
// with a target calls that target's perform() with its selector when chosen; an item without a
// target sends its selector to the first responder (the application for about, hide, show all
// and terminate; the focused web content for the edit commands; the key window for minimize and
// close).
#include <memory>
#include <string>

namespace dralmik {

enum class Selector {
    None,
    OrderFrontStandardAboutPanel,
    Hide,
    HideOtherApplications,
    UnhideAllApplications,
    Terminate,
    Undo,
    Redo,
    Cut,
    Copy,
    Paste,
    SelectAll,
    ReloadPage,
    PerformMiniaturize,
    PerformClose,
    ShowWindow,
    Disconnect,
    StopAndQuit,
};

// Modifier masks of key equivalents.
inline constexpr unsigned kModifierShift = 1u << 17;
inline constexpr unsigned kModifierOption = 1u << 19;
inline constexpr unsigned kModifierCommand = 1u << 20;

class ActionTarget {
public:
    virtual ~ActionTarget() = default;
    virtual void perform(Selector selector) = 0;
};

class Menu;

class MenuItem {
public:
    virtual ~MenuItem() = default;
    virtual std::string title() const = 0;
    virtual void setTitle(const std::string& title) = 0;
    virtual bool isHidden() const = 0;
    virtual void setHidden(bool hidden) = 0;
    virtual bool isEnabled() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual void setTarget(std::weak_ptr<ActionTarget> target) = 0;
    virtual void setKeyEquivalentModifierMask(unsigned mask) = 0;
    virtual void setSubmenu(std::shared_ptr<Menu> submenu) = 0;
};

class MenuDelegate {
public:
    virtual ~MenuDelegate() = default;
    virtual void menuWillOpen() = 0;
};

class Menu {
public:
    virtual ~Menu() = default;
    virtual void setAutoenablesItems(bool autoenables) = 0;
    virtual void addItem(std::shared_ptr<MenuItem> item) = 0;
    // Creates an item (default modifiers: Command), appends it and returns it.
    virtual std::shared_ptr<MenuItem> addItem(const std::string& title, Selector action,
                                              const std::string& keyEquivalent) = 0;
    virtual void addSeparator() = 0;
    virtual void setDelegate(std::weak_ptr<MenuDelegate> delegate) = 0;
};

class MenuFactory {
public:
    virtual ~MenuFactory() = default;
    virtual std::shared_ptr<Menu> makeMenu(const std::string& title) = 0;
    virtual std::shared_ptr<MenuItem> makeMenuItem(const std::string& title, Selector action,
                                                   const std::string& keyEquivalent) = 0;
};

}  // namespace dralmik
