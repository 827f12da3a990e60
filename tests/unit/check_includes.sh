#!/bin/sh
# Fails, naming the lines, when a file under the given folders includes a header of the desktop
# toolkit: GTK/GDK, GLib/GIO/GObject, WebKit/JavaScriptCore, AppIndicator, libdbusmenu or cairo.
pattern='^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"][[:space:]]*(gtk|gdk|glib|gio|gobject|gmodule|webkit|webkit2|jsc|JavaScriptCore|libayatana-appindicator|libappindicator|libdbusmenu|cairo)[-/.0-9a-zA-Z_]*'
found=$(grep -rnEi --include='*.c' --include='*.cc' --include='*.cpp' --include='*.h' --include='*.hpp' \
    "$pattern" "$@")
if [ -n "$found" ]; then
    echo "toolkit headers included where they do not belong:"
    echo "$found"
    exit 1
fi
exit 0
