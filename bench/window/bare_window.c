/* The bare WebKitGTK window the application is measured against: GTK 3, one web view, one
 * webkit_web_view_load_uri, nothing else.
 *   bare-window URL [PROBE_FILE]
 * With PROBE_FILE it also runs that script in the page every 2 seconds through
 * webkit_web_view_evaluate_javascript, as the application's page-state probe does. With
 * DRALMIK_LAUNCH_TIMELINE set it writes its launch steps to standard error as the application
 * does. Ctrl+W hides the window, as it does the application's, and the process runs on. */
#include <gtk/gtk.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <time.h>
#include <webkit2/webkit2.h>

static gchar *probe;

static void step(const char *name) {
    static int enabled = -1;
    if (enabled < 0) enabled = getenv("DRALMIK_LAUNCH_TIMELINE") != NULL;
    if (!enabled) return;
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    long long cpu = (long long)(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
                    (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
    fprintf(stderr, "launch-step %lld %lld %s\n", (long long)now.tv_sec * 1000 + now.tv_nsec / 1000000, cpu, name);
}

static void probed(GObject *view, GAsyncResult *result, gpointer data) {
    (void)data;
    JSCValue *value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, NULL);
    if (value) g_object_unref(value);
}

static gboolean run_probe(gpointer view) {
    webkit_web_view_evaluate_javascript(view, probe, -1, NULL, NULL, NULL, probed, NULL);
    return G_SOURCE_CONTINUE;
}

static gboolean key_pressed(GtkWidget *window, GdkEventKey *event, gpointer data) {
    (void)data;
    if ((event->state & GDK_CONTROL_MASK) && (event->keyval == GDK_KEY_w || event->keyval == GDK_KEY_W)) {
        gtk_widget_hide(window);
        return TRUE;
    }
    return FALSE;
}

int main(int argc, char **argv) {
    step("main");
    gtk_init(&argc, &argv);
    step("toolkit up");
    if (argc < 2) return 2;
    GtkWidget *window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    step("window");
    GtkWidget *view = webkit_web_view_new();
    step("web view");
    gtk_window_set_default_size(GTK_WINDOW(window), 760, 640);
    gtk_container_add(GTK_CONTAINER(window), view);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), NULL);
    g_signal_connect(window, "key-press-event", G_CALLBACK(key_pressed), NULL);
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), argv[1]);
    step("page requested");
    gtk_widget_show_all(window);
    step("window shown");
    if (argc > 2 && g_file_get_contents(argv[2], &probe, NULL, NULL)) g_timeout_add(2000, run_probe, view);
    gtk_main();
    return 0;
}
