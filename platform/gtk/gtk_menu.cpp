#include <algorithm>

#include "platform/gtk/gtk_desktop.h"

namespace dralmik::gtk {

Desktop& desktop() {
    static Desktop instance;
    return instance;
}

GtkAccelGroup* Desktop::accelGroup() {
    if (!accelGroup_) accelGroup_ = gtk_accel_group_new();
    return accelGroup_;
}

bool Desktop::hasVisibleWindows() const {
    return std::any_of(windows.begin(), windows.end(), [](GtkWindowImpl* w) { return w->isVisible(); });
}

void Desktop::applyPolicy() {
    const bool accessory = policy == ActivationPolicy::Accessory;
    for (GtkWindowImpl* window : windows) {
        gtk_window_set_skip_taskbar_hint(window->gtkWindow(), accessory);
        gtk_window_set_skip_pager_hint(window->gtkWindow(), accessory);
        // An accessory has no window on screen.
        if (accessory) window->hide();
    }
}

void Desktop::performWithoutTarget(Selector selector) {
    GtkWindowImpl* window = keyWindow;
    if (!window && !windows.empty()) window = windows.front();
    switch (selector) {
    case Selector::OrderFrontStandardAboutPanel:
        gtk_show_about_dialog(window ? window->gtkWindow() : nullptr, "program-name", applicationName.c_str(),
                              "logo-icon-name", "applications-internet", nullptr);
        return;
    case Selector::Hide:
        hiddenByHide_.clear();
        for (GtkWindowImpl* w : windows) {
            if (w->isVisible()) {
                hiddenByHide_.push_back(w);
                w->hide();
            }
        }
        return;
    case Selector::UnhideAllApplications:
        for (GtkWindowImpl* w : hiddenByHide_) w->makeKeyAndOrderFront();
        hiddenByHide_.clear();
        return;
    case Selector::HideOtherApplications:
        return;  // other programs' windows are the window manager's business
    case Selector::Terminate:
        if (terminate) terminate();
        return;
    case Selector::Undo:
    case Selector::Redo:
    case Selector::Cut:
    case Selector::Copy:
    case Selector::Paste:
    case Selector::SelectAll: {
        GtkWebViewImpl* view = window ? window->webView() : nullptr;
        if (!view) return;
        static constexpr struct {
            Selector selector;
            const char* command;
        } kEditing[] = {{Selector::Undo, WEBKIT_EDITING_COMMAND_UNDO},   {Selector::Redo, WEBKIT_EDITING_COMMAND_REDO},
                        {Selector::Cut, WEBKIT_EDITING_COMMAND_CUT},     {Selector::Copy, WEBKIT_EDITING_COMMAND_COPY},
                        {Selector::Paste, WEBKIT_EDITING_COMMAND_PASTE}, {Selector::SelectAll, WEBKIT_EDITING_COMMAND_SELECT_ALL}};
        for (const auto& entry : kEditing) {
            if (entry.selector == selector) view->executeEditingCommand(entry.command);
        }
        return;
    }
    case Selector::PerformMiniaturize:
        if (window) window->miniaturize();
        return;
    case Selector::PerformClose:
        if (window && window->isVisible()) window->performClose();
        return;
    default:
        return;  // the rest only mean something with a target
    }
}

GtkMenuItemImpl::GtkMenuItemImpl(std::string title, Selector action, std::string keyEquivalent, bool separator)
    : title_(std::move(title)), action_(action), key_(std::move(keyEquivalent)), separator_(separator) {}

GtkMenuItemImpl::~GtkMenuItemImpl() {
    if (widget_) {
        g_signal_handlers_disconnect_by_data(widget_, this);
        g_object_unref(widget_);
    }
}

std::string GtkMenuItemImpl::label() const {
    // An untitled item that opens a menu shows that menu's title; the untitled application
    // menu shows the application's name, as a menu bar elsewhere does.
    if (!title_.empty() || !submenu_) return title_;
    return submenu_->title().empty() ? desktop().applicationName : submenu_->title();
}

GtkWidget* GtkMenuItemImpl::widget() {
    if (widget_) return widget_;
    widget_ = separator_ ? gtk_separator_menu_item_new() : gtk_menu_item_new_with_label(label().c_str());
    g_object_ref_sink(widget_);
    gtk_widget_set_visible(widget_, !hidden_);
    gtk_widget_set_sensitive(widget_, enabled_);
    if (!separator_) {
        g_signal_connect(widget_, "activate",
                         G_CALLBACK(+[](GtkMenuItem*, gpointer self) { static_cast<GtkMenuItemImpl*>(self)->activate(); }),
                         this);
    }
    if (submenu_) gtk_menu_item_set_submenu(GTK_MENU_ITEM(widget_), submenu_->popup());
    updateAccelerator();
    return widget_;
}

void GtkMenuItemImpl::activate() {
    if (submenu_ || action_ == Selector::None) return;
    if (hasTarget_) {
        if (auto target = target_.lock()) target->perform(action_);
        return;
    }
    desktop().performWithoutTarget(action_);
}

void GtkMenuItemImpl::setTitle(const std::string& title) {
    title_ = title;
    if (widget_ && !separator_) gtk_menu_item_set_label(GTK_MENU_ITEM(widget_), label().c_str());
}

void GtkMenuItemImpl::setHidden(bool hidden) {
    hidden_ = hidden;
    if (widget_) gtk_widget_set_visible(widget_, !hidden);
}

void GtkMenuItemImpl::setEnabled(bool enabled) {
    enabled_ = enabled;
    if (widget_) gtk_widget_set_sensitive(widget_, enabled);
}

void GtkMenuItemImpl::setTarget(std::weak_ptr<ActionTarget> target) {
    target_ = std::move(target);
    hasTarget_ = true;
}

void GtkMenuItemImpl::setKeyEquivalentModifierMask(unsigned mask) {
    mask_ = mask;
    updateAccelerator();
}

void GtkMenuItemImpl::setSubmenu(std::shared_ptr<Menu> submenu) {
    submenu_ = std::dynamic_pointer_cast<GtkMenuImpl>(submenu);
    if (!widget_) return;
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(widget_), submenu_ ? submenu_->popup() : nullptr);
    if (!separator_) gtk_menu_item_set_label(GTK_MENU_ITEM(widget_), label().c_str());
}

void GtkMenuItemImpl::updateAccelerator() {
    if (!widget_) return;
    GtkAccelGroup* group = desktop().accelGroup();
    if (accelKey_) {
        gtk_widget_remove_accelerator(widget_, group, accelKey_, accelMods_);
        accelKey_ = 0;
    }
    if (key_.empty() || separator_) return;
    // The key equivalent is one character; Command becomes the platform's primary modifier.
    const gunichar c = g_utf8_get_char_validated(key_.c_str(), static_cast<gssize>(key_.size()));
    if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) return;
    guint keyval = gdk_unicode_to_keyval(g_unichar_tolower(c));
    unsigned mods = 0;
    if (mask_ & kModifierCommand) mods |= GDK_CONTROL_MASK;
    if (mask_ & kModifierShift) mods |= GDK_SHIFT_MASK;
    if (mask_ & kModifierOption) mods |= GDK_MOD1_MASK;
    if (g_unichar_isupper(c)) mods |= GDK_SHIFT_MASK;  // an upper-case key equivalent implies Shift
    accelKey_ = keyval;
    accelMods_ = static_cast<GdkModifierType>(mods);
    gtk_widget_add_accelerator(widget_, "activate", group, accelKey_, accelMods_, GTK_ACCEL_VISIBLE);
}

GtkMenuImpl::~GtkMenuImpl() {
    if (shell_) {
        g_signal_handlers_disconnect_by_data(shell_, this);
        g_object_unref(shell_);
    }
}

GtkWidget* GtkMenuImpl::shell(bool bar) {
    if (shell_) return shell_;
    shell_ = bar ? gtk_menu_bar_new() : gtk_menu_new();
    g_object_ref_sink(shell_);
    for (auto& item : items_) gtk_menu_shell_append(GTK_MENU_SHELL(shell_), item->widget());
    return shell_;
}

GtkWidget* GtkMenuImpl::popup() { return shell(false); }
GtkWidget* GtkMenuImpl::menuBar() { return shell(true); }

void GtkMenuImpl::willOpen() {
    if (auto delegate = delegate_.lock()) delegate->menuWillOpen();
}

void GtkMenuImpl::addItem(std::shared_ptr<MenuItem> item) {
    auto gtkItem = std::dynamic_pointer_cast<GtkMenuItemImpl>(item);
    if (!gtkItem) return;
    items_.push_back(gtkItem);
    if (shell_) gtk_menu_shell_append(GTK_MENU_SHELL(shell_), gtkItem->widget());
}

std::shared_ptr<MenuItem> GtkMenuImpl::addItem(const std::string& title, Selector action, const std::string& keyEquivalent) {
    auto item = std::make_shared<GtkMenuItemImpl>(title, action, keyEquivalent);
    addItem(item);
    return item;
}

void GtkMenuImpl::addSeparator() { addItem(std::make_shared<GtkMenuItemImpl>("", Selector::None, "", true)); }

std::shared_ptr<Menu> GtkMenuFactory::makeMenu(const std::string& title) { return std::make_shared<GtkMenuImpl>(title); }

std::shared_ptr<MenuItem> GtkMenuFactory::makeMenuItem(const std::string& title, Selector action,
                                                       const std::string& keyEquivalent) {
    return std::make_shared<GtkMenuItemImpl>(title, action, keyEquivalent);
}

}  // namespace dralmik::gtk
