#pragma once
// The desktop objects of the GTK backend and the little state they share. Everything here runs
// on the main thread; GTK is initialised by the time any widget is made (the core makes menus,
// windows and web views only from the launch sequence on, and menu items build their widgets
// lazily, so an item made earlier is fine).
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/alert.h"
#include "platform/application.h"
#include "platform/menu.h"
#include "platform/status_item.h"
#include "platform/web_view.h"
#include "platform/window.h"
#include "platform/workspace.h"
#include "platform/gtk/frame_store.h"

namespace dralmik::gtk {

class GtkMenuImpl;
class GtkWindowImpl;
class GtkWebViewImpl;

// What the toolkit-level objects share: the main menu, the windows, the activation policy and
// the actions that have no target (the "first responder" of the core's menus).
class Desktop {
public:
    std::string applicationName = "Dralmik LLM Gateway";
    ActivationPolicy policy = ActivationPolicy::Regular;
    std::shared_ptr<GtkMenuImpl> mainMenu;
    std::vector<GtkWindowImpl*> windows;
    GtkWindowImpl* keyWindow = nullptr;  // the one focused or shown last
    std::function<void()> terminate;

    GtkAccelGroup* accelGroup();
    bool hasVisibleWindows() const;
    void applyPolicy();
    void performWithoutTarget(Selector selector);

private:
    GtkAccelGroup* accelGroup_ = nullptr;
    std::vector<GtkWindowImpl*> hiddenByHide_;
};

Desktop& desktop();

class GtkMenuItemImpl : public MenuItem {
public:
    GtkMenuItemImpl(std::string title, Selector action, std::string keyEquivalent, bool separator = false);
    ~GtkMenuItemImpl() override;

    std::string title() const override { return title_; }
    void setTitle(const std::string& title) override;
    bool isHidden() const override { return hidden_; }
    void setHidden(bool hidden) override;
    bool isEnabled() const override { return enabled_; }
    void setEnabled(bool enabled) override;
    void setTarget(std::weak_ptr<ActionTarget> target) override;
    void setKeyEquivalentModifierMask(unsigned mask) override;
    void setSubmenu(std::shared_ptr<Menu> submenu) override;

    GtkWidget* widget();  // made on first use
    void activate();

private:
    std::string label() const;
    void updateAccelerator();

    std::string title_;
    Selector action_;
    std::string key_;
    unsigned mask_ = kModifierCommand;
    bool separator_;
    bool hidden_ = false;
    bool enabled_ = true;
    bool hasTarget_ = false;
    std::weak_ptr<ActionTarget> target_;
    std::shared_ptr<GtkMenuImpl> submenu_;
    GtkWidget* widget_ = nullptr;
    guint accelKey_ = 0;
    GdkModifierType accelMods_ = GdkModifierType(0);
};

class GtkMenuImpl : public Menu {
public:
    explicit GtkMenuImpl(std::string title) : title_(std::move(title)) {}
    ~GtkMenuImpl() override;

    void setAutoenablesItems(bool) override {}  // GTK never changes an item's sensitivity itself
    void addItem(std::shared_ptr<MenuItem> item) override;
    std::shared_ptr<MenuItem> addItem(const std::string& title, Selector action, const std::string& keyEquivalent) override;
    void addSeparator() override;
    void setDelegate(std::weak_ptr<MenuDelegate> delegate) override { delegate_ = std::move(delegate); }

    const std::string& title() const { return title_; }
    // The menu as a popup (submenus, the tray) or as a menu bar (the main menu); one menu is
    // only ever one of the two.
    GtkWidget* popup();
    GtkWidget* menuBar();
    void willOpen();

private:
    GtkWidget* shell(bool bar);

    std::string title_;
    std::vector<std::shared_ptr<GtkMenuItemImpl>> items_;
    std::weak_ptr<MenuDelegate> delegate_;
    GtkWidget* shell_ = nullptr;
};

class GtkMenuFactory : public MenuFactory {
public:
    std::shared_ptr<Menu> makeMenu(const std::string& title) override;
    std::shared_ptr<MenuItem> makeMenuItem(const std::string& title, Selector action,
                                           const std::string& keyEquivalent) override;
};

class GtkWebViewImpl : public WebView {
public:
    GtkWebViewImpl(Rect frame, const WebViewConfiguration& configuration);
    ~GtkWebViewImpl() override;

    void setNavigationDelegate(std::weak_ptr<WebViewDelegate> delegate) override { navigationDelegate_ = std::move(delegate); }
    void setUIDelegate(std::weak_ptr<WebViewDelegate> delegate) override { uiDelegate_ = std::move(delegate); }
    void setAllowsBackForwardNavigationGestures(bool allows) override;
    void setUnderPageBackgroundColor(Color color) override;
    void loadRequest(const Url& url, int cachePolicy, double timeoutSeconds) override;
    void loadHTMLString(const std::string& html) override;
    void evaluateJavaScript(const std::string& script, std::function<void(std::optional<std::string>)> completion) override;
    void reload() override;

    GtkWidget* widget() const { return GTK_WIDGET(view_); }
    void executeEditingCommand(const char* command);

private:
    static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision*, WebKitPolicyDecisionType, gpointer self);
    static GtkWidget* onCreate(WebKitWebView*, WebKitNavigationAction*, gpointer self);
    static gboolean onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError*, gpointer self);
    static gboolean onScriptDialog(WebKitWebView*, WebKitScriptDialog*, gpointer self);
    static void onLoadChanged(WebKitWebView*, WebKitLoadEvent, gpointer self);
    void decide(WebKitNavigationAction* action, WebKitPolicyDecision* decision);
    void noteNewLoad();

    WebKitWebView* view_;
    std::weak_ptr<WebViewDelegate> navigationDelegate_;
    std::weak_ptr<WebViewDelegate> uiDelegate_;
    int supersededLoads_ = 0;  // loads of ours that a later load of ours cancelled
};

class GtkWindowImpl : public Window {
public:
    GtkWindowImpl(Rect contentRect, unsigned styleMask, std::string frameStorePath);
    ~GtkWindowImpl() override;

    void setTitle(const std::string& title) override;
    void setBackgroundColor(Color color) override;
    void setTitlebarAppearsTransparent(bool) override {}  // the window manager draws the title bar
    void setDarkAppearance() override;
    void setContentView(std::shared_ptr<WebView> view) override;
    void setReleasedWhenClosed(bool) override {}  // the window is only ever hidden on close
    void setDelegate(std::weak_ptr<WindowDelegate> delegate) override { delegate_ = std::move(delegate); }
    void setFrame(Rect frame, bool display) override;
    void center() override;
    void setFrameAutosaveName(const std::string& name) override;
    Rect frame() const override;
    void setMinSize(Size size) override;
    void makeKeyAndOrderFront() override;
    bool isMiniaturized() const override { return iconified_; }
    void deminiaturize() override;

    GtkWindow* gtkWindow() const { return GTK_WINDOW(window_); }
    bool isVisible() const { return gtk_widget_get_visible(window_); }
    void attachMenuBar(GtkMenuImpl& menu);
    void hide() { gtk_widget_hide(window_); }
    void performClose();
    void miniaturize() { gtk_window_iconify(GTK_WINDOW(window_)); }
    GtkWebViewImpl* webView() const { return content_.get(); }

private:
    static gboolean onDelete(GtkWidget*, GdkEvent*, gpointer self);
    static gboolean onConfigure(GtkWidget*, GdkEvent*, gpointer self);
    static gboolean onWindowState(GtkWidget*, GdkEventWindowState*, gpointer self);
    static gboolean onFocusIn(GtkWidget*, GdkEvent*, gpointer self);
    void scheduleSave();
    void saveNow();
    PixelFrame currentPixelFrame() const;

    GtkWidget* window_;
    GtkWidget* box_;
    GtkWidget* menuBar_ = nullptr;
    GtkCssProvider* css_ = nullptr;
    std::shared_ptr<GtkWebViewImpl> content_;
    std::weak_ptr<WindowDelegate> delegate_;
    PixelFrame requested_;
    std::string frameStorePath_;
    std::string autosaveName_;
    bool iconified_ = false;
    guint saveSource_ = 0;
};

class GtkAlerts : public Alerts {
public:
    void beginSheet(Window& window, const AlertSpec& alert, std::function<void(long)> completion) override;
};

class GtkWorkspace : public Workspace {
public:
    bool openURL(const Url& url) override;
};

// The tray icon, on libayatana-appindicator (StatusNotifierItem with its menu over dbusmenu).
class GtkStatusBar : public StatusBar {
public:
    explicit GtkStatusBar(std::string iconFolder) : iconFolder_(std::move(iconFolder)) {}
    std::shared_ptr<StatusItem> statusItemWithLength(double length) override;

private:
    std::string iconFolder_;
    int made_ = 0;
};

// The height of the screen the core's bottom-left frames are measured on: the bottom edge of
// the lowest monitor.
double screenHeight();

}  // namespace dralmik::gtk
