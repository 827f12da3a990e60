#pragma once
// The main window on GtkWindow: a vertical box with the main menu's bar on top and the web
// view under it. Closing hides the window; its frame is kept in the frame store (on Wayland,
// where the compositor places windows and never says where, only its size).
#include <gtk/gtk.h>

#include <memory>
#include <optional>
#include <string>

#include "platform/gtk/frame_store.h"
#include "platform/window.h"

namespace dralmik::gtk {

class Menu;
class WebView;

class Window final : public dralmik::Window {
public:
    Window(const WindowDescription& description, GtkApplication* application, std::string frameStorePath);
    ~Window() override;

    void setContentView(std::shared_ptr<dralmik::WebView> view) override;
    void setDelegate(std::weak_ptr<WindowDelegate> delegate) override { delegate_ = std::move(delegate); }
    Rect frame() const override;
    void setFrame(Rect frame) override;
    void center() override;
    std::optional<Rect> savedFrame() const override;
    void makeKeyAndOrderFront() override;
    bool isMiniaturized() const override { return iconified_; }
    void deminiaturize() override { gtk_window_deiconify(GTK_WINDOW(window_)); }
    void miniaturize() override { gtk_window_iconify(GTK_WINDOW(window_)); }

    GtkWindow* gtkWindow() const { return GTK_WINDOW(window_); }
    std::string title() const { return gtk_window_get_title(GTK_WINDOW(window_)); }
    bool isVisible() const { return gtk_widget_get_visible(window_); }
    void attachMenuBar(Menu& menu);
    void hide() { gtk_widget_hide(window_); }
    void performClose();
    void applyPolicy();
    WebView* webView() const { return content_.get(); }

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
    std::shared_ptr<WebView> content_;
    std::weak_ptr<WindowDelegate> delegate_;
    PixelFrame requested_;
    // Maximised, full screen or tiled: the frame then is the window manager's, and the one
    // saved is the last frame the window had before.
    bool managedFrame_ = false;
    std::string frameStorePath_;
    std::string autosaveName_;
    std::optional<PixelFrame> saved_;
    bool iconified_ = false;
    guint saveSource_ = 0;
};

}  // namespace dralmik::gtk
