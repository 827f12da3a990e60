#include <algorithm>
#include <cmath>

#include "platform/gtk/gtk_desktop.h"

namespace dralmik::gtk {

double screenHeight() {
    GdkDisplay* display = gdk_display_get_default();
    if (!display) return 0;
    int bottom = 0;
    for (int i = 0; i < gdk_display_get_n_monitors(display); ++i) {
        GdkRectangle area;
        gdk_monitor_get_geometry(gdk_display_get_monitor(display, i), &area);
        bottom = std::max(bottom, area.y + area.height);
    }
    return bottom;
}

namespace {

GdkRectangle screenBounds() {
    GdkRectangle bounds{0, 0, 0, 0};
    GdkDisplay* display = gdk_display_get_default();
    if (!display) return bounds;
    for (int i = 0; i < gdk_display_get_n_monitors(display); ++i) {
        GdkRectangle area;
        gdk_monitor_get_geometry(gdk_display_get_monitor(display, i), &area);
        gdk_rectangle_union(&bounds, &area, &bounds);
    }
    return bounds;
}

std::string cssColor(const Color& c) {
    auto channel = [](double v) { return std::clamp(static_cast<int>(std::lround(v * 255)), 0, 255); };
    return "rgba(" + std::to_string(channel(c.red)) + "," + std::to_string(channel(c.green)) + "," +
           std::to_string(channel(c.blue)) + "," + std::to_string(std::clamp(c.alpha, 0.0, 1.0)) + ")";
}

}  // namespace

GtkWindowImpl::GtkWindowImpl(Rect contentRect, unsigned styleMask, std::string frameStorePath)
    : frameStorePath_(std::move(frameStorePath)) {
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    g_object_ref_sink(window_);
    gtk_window_set_resizable(GTK_WINDOW(window_), (styleMask & kWindowStyleResizable) != 0);
    gtk_window_set_deletable(GTK_WINDOW(window_), (styleMask & kWindowStyleClosable) != 0);
    gtk_window_set_decorated(GTK_WINDOW(window_), (styleMask & kWindowStyleTitled) != 0);
    box_ = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_add(GTK_CONTAINER(window_), box_);
    gtk_widget_show(box_);
    setFrame(contentRect, false);

    g_signal_connect(window_, "delete-event", G_CALLBACK(onDelete), this);
    g_signal_connect(window_, "configure-event", G_CALLBACK(onConfigure), this);
    g_signal_connect(window_, "window-state-event", G_CALLBACK(onWindowState), this);
    g_signal_connect(window_, "focus-in-event", G_CALLBACK(onFocusIn), this);
    gtk_window_add_accel_group(GTK_WINDOW(window_), desktop().accelGroup());

    desktop().windows.push_back(this);
    if (desktop().mainMenu) attachMenuBar(*desktop().mainMenu);
    const bool accessory = desktop().policy == ActivationPolicy::Accessory;
    gtk_window_set_skip_taskbar_hint(GTK_WINDOW(window_), accessory);
}

GtkWindowImpl::~GtkWindowImpl() {
    auto& windows = desktop().windows;
    windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
    if (desktop().keyWindow == this) desktop().keyWindow = nullptr;
    if (saveSource_) g_source_remove(saveSource_);
    g_signal_handlers_disconnect_by_data(window_, this);
    if (css_) g_object_unref(css_);
    gtk_widget_destroy(window_);
    g_object_unref(window_);
}

void GtkWindowImpl::attachMenuBar(GtkMenuImpl& menu) {
    GtkWidget* bar = menu.menuBar();
    if (bar == menuBar_) return;
    if (menuBar_) gtk_container_remove(GTK_CONTAINER(box_), menuBar_);
    if (GtkWidget* parent = gtk_widget_get_parent(bar)) gtk_container_remove(GTK_CONTAINER(parent), bar);
    menuBar_ = bar;
    gtk_box_pack_start(GTK_BOX(box_), bar, FALSE, FALSE, 0);
    gtk_box_reorder_child(GTK_BOX(box_), bar, 0);
    gtk_widget_show(bar);
}

void GtkWindowImpl::setTitle(const std::string& title) { gtk_window_set_title(GTK_WINDOW(window_), title.c_str()); }

void GtkWindowImpl::setBackgroundColor(Color color) {
    if (!css_) {
        css_ = gtk_css_provider_new();
        gtk_style_context_add_provider(gtk_widget_get_style_context(window_), GTK_STYLE_PROVIDER(css_),
                                       GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    }
    const std::string css = "window { background-color: " + cssColor(color) + "; }";
    gtk_css_provider_load_from_data(css_, css.c_str(), -1, nullptr);
}

void GtkWindowImpl::setDarkAppearance() {
    if (GtkSettings* settings = gtk_settings_get_default())
        g_object_set(settings, "gtk-application-prefer-dark-theme", TRUE, nullptr);
}

void GtkWindowImpl::setContentView(std::shared_ptr<WebView> view) {
    auto webView = std::dynamic_pointer_cast<GtkWebViewImpl>(view);
    if (content_) gtk_container_remove(GTK_CONTAINER(box_), content_->widget());
    content_ = webView;
    if (!content_) return;
    gtk_box_pack_start(GTK_BOX(box_), content_->widget(), TRUE, TRUE, 0);
    gtk_widget_show(content_->widget());
}

void GtkWindowImpl::setFrame(Rect frame, bool) {
    requested_ = toPixelFrame(frame, screenHeight());
    gtk_window_move(GTK_WINDOW(window_), requested_.x, requested_.top);
    gtk_window_resize(GTK_WINDOW(window_), std::max(1, requested_.width), std::max(1, requested_.height));
    scheduleSave();
}

void GtkWindowImpl::center() {
    const GdkRectangle screen = screenBounds();
    PixelFrame p = currentPixelFrame();
    p.x = screen.x + (screen.width - p.width) / 2;
    p.top = screen.y + (screen.height - p.height) / 2;
    setFrame(toCoreFrame(p, screenHeight()), false);
}

PixelFrame GtkWindowImpl::currentPixelFrame() const {
    // Until the window is on screen the toolkit reports no real geometry: the frame is the one
    // last asked for.
    if (!gtk_widget_get_mapped(window_)) return requested_;
    PixelFrame p;
    gtk_window_get_position(GTK_WINDOW(window_), &p.x, &p.top);
    gtk_window_get_size(GTK_WINDOW(window_), &p.width, &p.height);
    return p;
}

Rect GtkWindowImpl::frame() const { return toCoreFrame(currentPixelFrame(), screenHeight()); }

void GtkWindowImpl::setFrameAutosaveName(const std::string& name) {
    autosaveName_ = name;
    if (name.empty()) return;
    if (auto saved = FrameStore(frameStorePath_).load(name)) {
        // Keep a restored window reachable: its top-left corner must lie on the screen.
        const GdkRectangle screen = screenBounds();
        if (screen.width > 0 && screen.height > 0) {
            saved->x = std::clamp(saved->x, screen.x, screen.x + screen.width - 40);
            saved->top = std::clamp(saved->top, screen.y, screen.y + screen.height - 40);
        }
        setFrame(toCoreFrame(*saved, screenHeight()), false);
    }
}

void GtkWindowImpl::setMinSize(Size size) {
    GdkGeometry hints{};
    hints.min_width = static_cast<int>(std::ceil(size.width - 1e-9));
    hints.min_height = static_cast<int>(std::ceil(size.height - 1e-9));
    gtk_window_set_geometry_hints(GTK_WINDOW(window_), nullptr, &hints, GDK_HINT_MIN_SIZE);
}

void GtkWindowImpl::makeKeyAndOrderFront() {
    if (!gtk_widget_get_visible(window_)) {
        // A hidden window comes back where it was, not where the window manager would put it.
        gtk_window_move(GTK_WINDOW(window_), requested_.x, requested_.top);
    }
    gtk_widget_show(window_);
    gtk_window_present(GTK_WINDOW(window_));
    desktop().keyWindow = this;
}

void GtkWindowImpl::deminiaturize() { gtk_window_deiconify(GTK_WINDOW(window_)); }

void GtkWindowImpl::performClose() {
    if (auto delegate = delegate_.lock()) delegate->windowWillClose();
    saveNow();
    requested_ = currentPixelFrame();
    gtk_widget_hide(window_);
}

gboolean GtkWindowImpl::onDelete(GtkWidget*, GdkEvent*, gpointer data) {
    static_cast<GtkWindowImpl*>(data)->performClose();
    return TRUE;  // closing hides; the window and its page stay
}

gboolean GtkWindowImpl::onConfigure(GtkWidget*, GdkEvent*, gpointer data) {
    auto* self = static_cast<GtkWindowImpl*>(data);
    if (gtk_widget_get_mapped(self->window_)) self->requested_ = self->currentPixelFrame();
    self->scheduleSave();
    return FALSE;
}

gboolean GtkWindowImpl::onWindowState(GtkWidget*, GdkEventWindowState* event, gpointer data) {
    static_cast<GtkWindowImpl*>(data)->iconified_ = (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
    return FALSE;
}

gboolean GtkWindowImpl::onFocusIn(GtkWidget*, GdkEvent*, gpointer data) {
    desktop().keyWindow = static_cast<GtkWindowImpl*>(data);
    return FALSE;
}

void GtkWindowImpl::scheduleSave() {
    if (autosaveName_.empty() || saveSource_) return;
    // A drag sends many configure events; the frame is written once it has settled.
    saveSource_ = g_timeout_add(
        400,
        [](gpointer data) -> gboolean {
            auto* self = static_cast<GtkWindowImpl*>(data);
            self->saveSource_ = 0;
            self->saveNow();
            return G_SOURCE_REMOVE;
        },
        this);
}

void GtkWindowImpl::saveNow() {
    if (saveSource_) {
        g_source_remove(saveSource_);
        saveSource_ = 0;
    }
    if (autosaveName_.empty()) return;
    FrameStore(frameStorePath_).save(autosaveName_, currentPixelFrame());
}

}  // namespace dralmik::gtk
