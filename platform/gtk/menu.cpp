#include "platform/gtk/menu.h"

#include "platform/gtk/desktop.h"
#include "platform/gtk/menu_label.h"

namespace dralmik::gtk {

MenuItem::MenuItem(std::string title, std::function<void()> action, std::optional<StandardAction> standard,
                   Shortcut shortcut, bool separator)
    : title_(std::move(title)), action_(std::move(action)), standard_(standard), shortcut_(std::move(shortcut)),
      separator_(separator) {}

MenuItem::~MenuItem() {
    if (widget_) {
        g_signal_handlers_disconnect_by_data(widget_, this);
        g_object_unref(widget_);
    }
}

std::string MenuItem::label() const {
    // An untitled item that opens a menu shows that menu's title; the untitled application
    // menu shows the application's name, as a menu bar elsewhere does.
    if (!title_.empty() || !submenu_) return menuLabel(title_);
    return menuLabel(submenu_->title().empty() ? desktop().applicationName : submenu_->title());
}

bool MenuItem::sensitive() const { return enabled_ && (!standard_ || desktop().canPerform(*standard_)); }

GtkWidget* MenuItem::widget() {
    if (widget_) return widget_;
    widget_ = separator_ ? gtk_separator_menu_item_new() : gtk_menu_item_new_with_mnemonic(label().c_str());
    g_object_ref_sink(widget_);
    gtk_widget_set_visible(widget_, !hidden_);
    gtk_widget_set_sensitive(widget_, sensitive());
    if (!separator_) {
        g_signal_connect(widget_, "activate",
                         G_CALLBACK(+[](GtkMenuItem*, gpointer self) { static_cast<MenuItem*>(self)->activate(); }),
                         this);
    }
    if (submenu_) gtk_menu_item_set_submenu(GTK_MENU_ITEM(widget_), submenu_->popup());
    updateAccelerator();
    return widget_;
}

void MenuItem::activate() {
    // The tray host may send a click for any item it knows of, shown or not.
    if (submenu_ || hidden_ || !sensitive()) return;
    if (standard_) {
        desktop().perform(*standard_);
    } else if (action_) {
        action_();
    }
}

// The probe sets its items every round, mostly to what they already show, and GTK notifies a
// label set again even to the same text: a value that did not change is not set again.
void MenuItem::setTitle(const std::string& title) {
    if (title == title_) return;
    title_ = title;
    if (widget_ && !separator_) gtk_menu_item_set_label(GTK_MENU_ITEM(widget_), label().c_str());
}

void MenuItem::setHidden(bool hidden) {
    if (hidden == hidden_) return;
    hidden_ = hidden;
    if (widget_) gtk_widget_set_visible(widget_, !hidden);
}

void MenuItem::setEnabled(bool enabled) {
    // A standard item's sensitivity also follows what the desktop can do: set again when that changed.
    if (enabled == enabled_ && (!widget_ || gtk_widget_get_sensitive(widget_) == sensitive())) return;
    enabled_ = enabled;
    if (widget_) gtk_widget_set_sensitive(widget_, sensitive());
}

void MenuItem::setSubmenu(std::shared_ptr<Menu> submenu) {
    submenu_ = std::move(submenu);
    if (!widget_) return;
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(widget_), submenu_ ? submenu_->popup() : nullptr);
    gtk_menu_item_set_label(GTK_MENU_ITEM(widget_), label().c_str());
}

void MenuItem::updateAccelerator() {
    if (!widget_ || separator_ || shortcut_.key.empty()) return;
    // The key equivalent is one character; Command becomes the desktop's primary modifier.
    const std::string& key = shortcut_.key;
    const gunichar c = g_utf8_get_char_validated(key.c_str(), static_cast<gssize>(key.size()));
    if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) return;
    unsigned mods = 0;
    if (shortcut_.modifiers & kModifierCommand) mods |= GDK_CONTROL_MASK;
    if (shortcut_.modifiers & kModifierShift) mods |= GDK_SHIFT_MASK;
    if (shortcut_.modifiers & kModifierOption) mods |= GDK_MOD1_MASK;
    if (g_unichar_isupper(c)) mods |= GDK_SHIFT_MASK;  // an upper-case key equivalent implies Shift
    gtk_widget_add_accelerator(widget_, "activate", desktop().accelGroup(), gdk_unicode_to_keyval(g_unichar_tolower(c)),
                               static_cast<GdkModifierType>(mods), GTK_ACCEL_VISIBLE);
}

Menu::~Menu() {
    if (shell_) {
        g_signal_handlers_disconnect_by_data(shell_, this);
        g_object_unref(shell_);
    }
}

GtkWidget* Menu::shell(bool bar) {
    if (shell_) return shell_;
    shell_ = bar ? gtk_menu_bar_new() : gtk_menu_new();
    g_object_ref_sink(shell_);
    for (auto& item : items_) gtk_menu_shell_append(GTK_MENU_SHELL(shell_), item->widget());
    return shell_;
}

GtkWidget* Menu::popup() { return shell(false); }
GtkWidget* Menu::menuBar() { return shell(true); }

void Menu::willOpen() {
    if (auto delegate = delegate_.lock()) delegate->menuWillOpen();
}

void Menu::append(std::shared_ptr<MenuItem> item) {
    items_.push_back(item);
    if (shell_) gtk_menu_shell_append(GTK_MENU_SHELL(shell_), item->widget());
}

void Menu::addItem(std::shared_ptr<dralmik::MenuItem> item) {
    if (auto ours = std::dynamic_pointer_cast<MenuItem>(item)) append(std::move(ours));
}

void Menu::addSeparator() { append(std::make_shared<MenuItem>("", nullptr, std::nullopt, Shortcut{}, true)); }

void Menu::addSubmenu(std::shared_ptr<dralmik::Menu> submenu) {
    auto holder = std::make_shared<MenuItem>("", nullptr, std::nullopt, Shortcut{});
    holder->setSubmenu(std::dynamic_pointer_cast<Menu>(submenu));
    append(std::move(holder));
}

std::shared_ptr<dralmik::Menu> MenuFactory::makeMenu(const std::string& title) { return std::make_shared<Menu>(title); }

std::shared_ptr<dralmik::MenuItem> MenuFactory::makeItem(const std::string& title, std::function<void()> action,
                                                         Shortcut shortcut) {
    return std::make_shared<MenuItem>(title, std::move(action), std::nullopt, std::move(shortcut));
}

std::shared_ptr<dralmik::MenuItem> MenuFactory::makeStandardItem(const std::string& title, StandardAction action,
                                                                 Shortcut shortcut) {
    return std::make_shared<MenuItem>(title, nullptr, action, std::move(shortcut));
}

}  // namespace dralmik::gtk
