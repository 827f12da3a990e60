#pragma once
// Menus on GtkMenu and GtkMenuBar. A menu becomes widgets when it is first shown as a popup
// (a submenu, the tray's menu) or as a menu bar (the main menu); one menu is only ever one of
// the two. Items build their widgets lazily too, so an item made before GTK is up is fine.
#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/menu.h"

namespace dralmik::gtk {

class Menu;

class MenuItem final : public dralmik::MenuItem {
public:
    // An item with the core's action, or with a standard action, or a separator (neither).
    MenuItem(std::string title, std::function<void()> action, std::optional<StandardAction> standard,
             Shortcut shortcut, bool separator = false);
    ~MenuItem() override;

    void setTitle(const std::string& title) override;
    void setHidden(bool hidden) override;
    void setEnabled(bool enabled) override;

    void setSubmenu(std::shared_ptr<Menu> submenu);
    GtkWidget* widget();
    // What choosing the item does; a hidden or disabled item does nothing.
    void activate();

private:
    std::string label() const;
    bool sensitive() const;
    void updateAccelerator();

    std::string title_;
    std::function<void()> action_;
    std::optional<StandardAction> standard_;
    Shortcut shortcut_;
    bool separator_;
    bool hidden_ = false;
    bool enabled_ = true;
    std::shared_ptr<Menu> submenu_;
    GtkWidget* widget_ = nullptr;
};

class Menu final : public dralmik::Menu {
public:
    explicit Menu(std::string title) : title_(std::move(title)) {}
    ~Menu() override;

    void addItem(std::shared_ptr<dralmik::MenuItem> item) override;
    void addSeparator() override;
    void addSubmenu(std::shared_ptr<dralmik::Menu> submenu) override;
    void setDelegate(std::weak_ptr<MenuDelegate> delegate) override { delegate_ = std::move(delegate); }

    const std::string& title() const { return title_; }
    GtkWidget* popup();
    GtkWidget* menuBar();
    void willOpen();

private:
    void append(std::shared_ptr<MenuItem> item);
    GtkWidget* shell(bool bar);

    std::string title_;
    std::vector<std::shared_ptr<MenuItem>> items_;
    std::weak_ptr<MenuDelegate> delegate_;
    GtkWidget* shell_ = nullptr;
};

class MenuFactory final : public dralmik::MenuFactory {
public:
    std::shared_ptr<dralmik::Menu> makeMenu(const std::string& title) override;
    std::shared_ptr<dralmik::MenuItem> makeItem(const std::string& title, std::function<void()> action,
                                                Shortcut shortcut) override;
    std::shared_ptr<dralmik::MenuItem> makeStandardItem(const std::string& title, StandardAction action,
                                                        Shortcut shortcut) override;
};

}  // namespace dralmik::gtk
