# launcher.py COMMAND...: a plain GTK window titled "Launcher" that stands in front of the
# application's window between the roads, and, when its button is clicked (or on SIGUSR1 where
# nothing can click), starts COMMAND the way a desktop's launcher does: through its display's
# launch context, which asks the compositor (Wayland; it grants the token for the click) or
# takes the click's time (X11) for the startup token the new process finds in its environment.
import shlex
import signal
import sys

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
from gi.repository import Gdk, Gio, GLib, Gtk

command = " ".join(shlex.quote(a) for a in sys.argv[1:])


def launch(*_):
    info = Gio.AppInfo.create_from_commandline(command, "launched", Gio.AppInfoCreateFlags.SUPPORTS_STARTUP_NOTIFICATION)
    context = Gdk.Display.get_default().get_app_launch_context()
    context.set_timestamp(Gtk.get_current_event_time() or Gdk.CURRENT_TIME)
    try:
        info.launch([], context)
        print("launched", flush=True)
    except GLib.Error as e:
        print("launch failed:", e.message, flush=True)
    return GLib.SOURCE_CONTINUE


window = Gtk.Window(title="Launcher")
window.set_default_size(900, 600)
window.add(Gtk.Button(label="another window: click to launch"))
window.get_child().connect("clicked", launch)
window.connect("destroy", Gtk.main_quit)
window.connect("map-event", lambda *a: print("ready", flush=True))
window.connect("notify::is-active", lambda w, p: print("active" if w.is_active() else "inactive", flush=True))
GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, launch)
window.show_all()
Gtk.main()
