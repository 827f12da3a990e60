#include "platform/gtk/window.h"

#include <gdk/gdkwayland.h>
#include <gdk/gdkx.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/gtk/desktop.h"
#include "platform/gtk/menu.h"
#include "platform/gtk/web_view.h"

namespace dralmik::gtk {
namespace {

std::vector<PixelFrame> monitors() {
    std::vector<PixelFrame> result;
    GdkDisplay* display = gdk_display_get_default();
    if (!display) return result;
    for (int i = 0; i < gdk_display_get_n_monitors(display); ++i) {
        GdkRectangle area;
        gdk_monitor_get_geometry(gdk_display_get_monitor(display, i), &area);
        result.push_back({area.x, area.y, area.width, area.height});
    }
    return result;
}

// The height of the screen the core's bottom-left frames are measured on: the bottom edge of
// the lowest monitor.
double screenHeight() {
    int bottom = 0;
    for (const PixelFrame& m : monitors()) bottom = std::max(bottom, m.top + m.height);
    return bottom;
}

// Whether the X server names a primary monitor. GDK always reports one: where the server names
// none, it takes the first output, which says nothing of where the user is.
bool x11NamesPrimary(GdkDisplay* display) {
    Display* xdisplay = GDK_DISPLAY_XDISPLAY(display);
    int event = 0, error = 0, major = 0, minor = 0;
    // Without RandR 1.3 there is one monitor, the screen, and no primary to name.
    if (!XRRQueryExtension(xdisplay, &event, &error) || !XRRQueryVersion(xdisplay, &major, &minor) ||
        (major == 1 && minor < 3))
        return true;
    bool named = false;
    const ::Window root = DefaultRootWindow(xdisplay);
    gdk_x11_display_error_trap_push(display);
    if (major > 1 || minor >= 5) {
        // Monitors, where the primary may be one set by hand as well as an output's.
        int count = 0;
        if (XRRMonitorInfo* list = XRRGetMonitors(xdisplay, root, True, &count)) {
            for (int i = 0; i < count; ++i) named = named || list[i].primary;
            XRRFreeMonitors(list);
        }
    } else {
        named = XRRGetOutputPrimary(xdisplay, root) != None;
    }
    gdk_x11_display_error_trap_pop_ignored(display);
    return named;
}

// The monitor a new window opens on: the primary one; where none is known, the one with the
// pointer, where the user is looking.
GdkMonitor* openingMonitor(GdkDisplay* display) {
    if (GDK_IS_X11_DISPLAY(display)) {
        if (x11NamesPrimary(display)) {
            if (GdkMonitor* primary = gdk_display_get_primary_monitor(display)) return primary;
        }
        GdkSeat* seat = gdk_display_get_default_seat(display);
        if (GdkDevice* pointer = seat ? gdk_seat_get_pointer(seat) : nullptr) {
            int x = 0, y = 0;
            gdk_device_get_position(pointer, nullptr, &x, &y);
            if (GdkMonitor* under = gdk_display_get_monitor_at_point(display, x, y)) return under;
        }
    } else if (GdkMonitor* primary = gdk_display_get_primary_monitor(display)) {
        // Wayland places windows itself and names no primary; only the size taken from here counts.
        return primary;
    }
    return gdk_display_get_n_monitors(display) > 0 ? gdk_display_get_monitor(display, 0) : nullptr;
}

// The frame placed where a new window opens; unchanged where no monitor is known.
PixelFrame placeAsNewWindow(PixelFrame frame) {
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = display ? openingMonitor(display) : nullptr;
    if (!monitor) return frame;
    GdkRectangle area;
    gdk_monitor_get_workarea(monitor, &area);
    return placeInWorkArea(frame, {area.x, area.y, area.width, area.height});
}

std::string cssColor(const Color& c) {
    auto channel = [](double v) { return std::clamp(static_cast<int>(std::lround(v * 255)), 0, 255); };
    return "rgba(" + std::to_string(channel(c.red)) + "," + std::to_string(channel(c.green)) + "," +
           std::to_string(channel(c.blue)) + "," + std::to_string(std::clamp(c.alpha, 0.0, 1.0)) + ")";
}

}  // namespace

Window::Window(const WindowDescription& description, GtkApplication* application, std::string frameStorePath)
    : frameStorePath_(std::move(frameStorePath)), autosaveName_(description.frameAutosaveName) {
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    g_object_ref_sink(window_);
    if (application) gtk_window_set_application(GTK_WINDOW(window_), application);
    gtk_window_set_title(GTK_WINDOW(window_), description.title.c_str());
    box_ = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_add(GTK_CONTAINER(window_), box_);
    gtk_widget_show(box_);

    css_ = gtk_css_provider_new();
    gtk_style_context_add_provider(gtk_widget_get_style_context(window_), GTK_STYLE_PROVIDER(css_),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    const std::string css = "window { background-color: " + cssColor(description.backgroundColor) + "; }";
    gtk_css_provider_load_from_data(css_, css.c_str(), -1, nullptr);
    if (description.appearance == Appearance::Dark) desktop().preferDarkTheme();

    GdkGeometry hints{};
    hints.min_width = static_cast<int>(std::ceil(description.minimumSize.width - 1e-9));
    hints.min_height = static_cast<int>(std::ceil(description.minimumSize.height - 1e-9));
    gtk_window_set_geometry_hints(GTK_WINDOW(window_), nullptr, &hints, GDK_HINT_MIN_SIZE);

    // Read before anything is saved over it.
    if (!autosaveName_.empty()) saved_ = FrameStore(frameStorePath_).load(autosaveName_);
    setFrame(Rect{{0, 0}, description.contentSize});

    g_signal_connect(window_, "delete-event", G_CALLBACK(onDelete), this);
    g_signal_connect(window_, "configure-event", G_CALLBACK(onConfigure), this);
    g_signal_connect(window_, "window-state-event", G_CALLBACK(onWindowState), this);
    g_signal_connect(window_, "focus-in-event", G_CALLBACK(onFocusIn), this);
    gtk_window_add_accel_group(GTK_WINDOW(window_), desktop().accelGroup());
    applyPolicy();
    desktop().addWindow(this);
}

Window::~Window() {
    desktop().removeWindow(this);
    if (saveSource_) g_source_remove(saveSource_);
    g_signal_handlers_disconnect_by_data(window_, this);
    g_object_unref(css_);
    gtk_widget_destroy(window_);
    g_object_unref(window_);
}

void Window::applyPolicy() {
    const bool accessory = desktop().policy == ActivationPolicy::Accessory;
    gtk_window_set_skip_taskbar_hint(GTK_WINDOW(window_), accessory);
    gtk_window_set_skip_pager_hint(GTK_WINDOW(window_), accessory);
}

void Window::attachMenuBar(Menu& menu) {
    GtkWidget* bar = menu.menuBar();
    if (bar == menuBar_) return;
    if (menuBar_) gtk_container_remove(GTK_CONTAINER(box_), menuBar_);
    if (GtkWidget* parent = gtk_widget_get_parent(bar)) gtk_container_remove(GTK_CONTAINER(parent), bar);
    menuBar_ = bar;
    gtk_box_pack_start(GTK_BOX(box_), bar, FALSE, FALSE, 0);
    gtk_box_reorder_child(GTK_BOX(box_), bar, 0);
    gtk_widget_show(bar);
}

void Window::setContentView(std::shared_ptr<dralmik::WebView> view) {
    if (content_) gtk_container_remove(GTK_CONTAINER(box_), content_->widget());
    content_ = std::dynamic_pointer_cast<WebView>(view);
    if (!content_) return;
    gtk_box_pack_start(GTK_BOX(box_), content_->widget(), TRUE, TRUE, 0);
    gtk_widget_show(content_->widget());
}

void Window::setFrame(Rect frame) {
    const std::vector<PixelFrame> all = monitors();
    PixelFrame p = toPixelFrame(frame, screenHeight());
    if (!all.empty() && !onAnyMonitor(p, all)) p = placeAsNewWindow(p);
    requested_ = keepTitleBarReachable(p, all);
    gtk_window_move(GTK_WINDOW(window_), requested_.x, requested_.top);
    gtk_window_resize(GTK_WINDOW(window_), requested_.width, requested_.height);
    scheduleSave();
}

void Window::center() { setFrame(toCoreFrame(placeAsNewWindow(currentPixelFrame()), screenHeight())); }

std::optional<Rect> Window::savedFrame() const {
    if (!saved_) return std::nullopt;
    return toCoreFrame(*saved_, screenHeight());
}

PixelFrame Window::currentPixelFrame() const {
    // Until the window is on screen the toolkit reports no real geometry: the frame is the one
    // last asked for.
    if (!gtk_widget_get_mapped(window_)) return requested_;
    PixelFrame p;
    gtk_window_get_position(GTK_WINDOW(window_), &p.x, &p.top);
    gtk_window_get_size(GTK_WINDOW(window_), &p.width, &p.height);
    return p;
}

Rect Window::frame() const { return toCoreFrame(currentPixelFrame(), screenHeight()); }

void Window::makeKeyAndOrderFront() {
    if (!gtk_widget_get_visible(window_)) {
        // A hidden window comes back where it was, not where the window manager would put it.
        gtk_window_move(GTK_WINDOW(window_), requested_.x, requested_.top);
    }
    gtk_widget_show(window_);
    // A token from the tray host, the launcher or the notice lets the window take the focus
    // where the compositor prevents focus stealing; without one the compositor decides.
    const std::string token = desktop().takeActivationToken();
    GdkDisplay* display = gtk_widget_get_display(window_);
    if (GDK_IS_X11_DISPLAY(display)) {
        // X11 has no tokens: window managers weigh a request by the time of the user's action
        // behind it. A launcher's startup id carries that time; every other request here answers
        // an action just taken (in the tray, whose hosts may give no time at all, on a notice, at
        // the start), so it is now.
        if (!token.empty()) gtk_window_set_startup_id(GTK_WINDOW(window_), token.c_str());
        GdkWindow* window = gtk_widget_get_window(window_);
        gtk_window_present_with_time(GTK_WINDOW(window_), token.empty() && window ? gdk_x11_get_server_time(window)
                                                                                  : GDK_CURRENT_TIME);
    } else {
        if (!token.empty() && GDK_IS_WAYLAND_DISPLAY(display))
            gdk_wayland_display_set_startup_notification_id(display, token.c_str());
        gtk_window_present(GTK_WINDOW(window_));
    }
    desktop().setKeyWindow(this);
}

void Window::performClose() {
    auto delegate = delegate_.lock();
    if (delegate && !delegate->windowShouldClose()) return;
    if (delegate) delegate->windowWillClose();
    saveNow();
    if (!managedFrame_) requested_ = currentPixelFrame();
    gtk_widget_hide(window_);
    if (!desktop().hasVisibleWindows() && desktop().lastWindowClosed) desktop().lastWindowClosed();
}

gboolean Window::onDelete(GtkWidget*, GdkEvent*, gpointer data) {
    static_cast<Window*>(data)->performClose();
    return TRUE;  // closing hides; the window and its page stay
}

gboolean Window::onConfigure(GtkWidget*, GdkEvent*, gpointer data) {
    auto* self = static_cast<Window*>(data);
    if (self->managedFrame_) return FALSE;
    if (gtk_widget_get_mapped(self->window_)) self->requested_ = self->currentPixelFrame();
    self->scheduleSave();
    return FALSE;
}

gboolean Window::onWindowState(GtkWidget*, GdkEventWindowState* event, gpointer data) {
    auto* self = static_cast<Window*>(data);
    self->iconified_ = (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
    constexpr auto kManaged = GDK_WINDOW_STATE_MAXIMIZED | GDK_WINDOW_STATE_FULLSCREEN | GDK_WINDOW_STATE_TILED |
                              GDK_WINDOW_STATE_TOP_TILED | GDK_WINDOW_STATE_RIGHT_TILED |
                              GDK_WINDOW_STATE_BOTTOM_TILED | GDK_WINDOW_STATE_LEFT_TILED;
    self->managedFrame_ = (event->new_window_state & kManaged) != 0;
    return FALSE;
}

gboolean Window::onFocusIn(GtkWidget*, GdkEvent*, gpointer data) {
    desktop().setKeyWindow(static_cast<Window*>(data));
    return FALSE;
}

void Window::scheduleSave() {
    if (autosaveName_.empty() || saveSource_) return;
    // A drag sends many configure events; the frame is written once it has settled.
    saveSource_ = g_timeout_add(
        400,
        [](gpointer data) -> gboolean {
            auto* self = static_cast<Window*>(data);
            self->saveSource_ = 0;
            self->saveNow();
            return G_SOURCE_REMOVE;
        },
        this);
}

void Window::saveNow() {
    if (saveSource_) {
        g_source_remove(saveSource_);
        saveSource_ = 0;
    }
    if (autosaveName_.empty()) return;
    const PixelFrame frame = managedFrame_ ? requested_ : currentPixelFrame();
    FrameStore(frameStorePath_).save(autosaveName_, frame, !GDK_IS_WAYLAND_DISPLAY(gtk_widget_get_display(window_)));
}

}  // namespace dralmik::gtk
