/* Renders the application's SVG icon as PNG files, one per size, for the windows' icon list:
 *
 *   dralmik_render_icon ICON.svg OUTPUT-FOLDER SIZE...    writes OUTPUT-FOLDER/SIZE.png
 *
 * Done at build time, so that the running application draws its window icon from PNG files and
 * never loads the SVG renderer for it. */
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <glib/gstdio.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: %s ICON.svg OUTPUT-FOLDER SIZE...\n", argv[0]);
        return 2;
    }
    if (g_mkdir_with_parents(argv[2], 0755) != 0) {
        fprintf(stderr, "%s: cannot make %s\n", argv[0], argv[2]);
        return 1;
    }
    for (int i = 3; i < argc; i++) {
        const int size = atoi(argv[i]);
        GError *error = NULL;
        GdkPixbuf *pixbuf = size > 0 ? gdk_pixbuf_new_from_file_at_size(argv[1], size, size, &error) : NULL;
        if (!pixbuf) {
            fprintf(stderr, "%s: cannot draw %s at %s: %s\n", argv[0], argv[1], argv[i],
                    error ? error->message : "not a size");
            return 1;
        }
        gchar *name = g_strdup_printf("%s/%d.png", argv[2], size);
        const gboolean saved = gdk_pixbuf_save(pixbuf, name, "png", &error, NULL);
        g_object_unref(pixbuf);
        if (!saved) {
            fprintf(stderr, "%s: cannot write %s: %s\n", argv[0], name, error->message);
            g_free(name);
            return 1;
        }
        g_free(name);
    }
    return 0;
}
