# token_minter.py FOLDER: a focused window ("Other") that hands out activation tokens, as a
# launcher or a tray host does on Wayland. Each time FOLDER/mint appears it is removed and a new
# token from the compositor is written to FOLDER/token.
import os
import sys

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
from gi.repository import Gdk, Gio, GLib, Gtk

folder = sys.argv[1]
window = Gtk.Window(title="Other")
window.set_default_size(400, 300)
window.show_all()


def poll():
    request = os.path.join(folder, "mint")
    if os.path.exists(request):
        os.remove(request)
        context = Gdk.Display.get_default().get_app_launch_context()
        token = context.get_startup_notify_id(Gio.AppInfo.create_from_commandline("true", "e2e", 0), [])
        with open(os.path.join(folder, "token.new"), "w") as f:
            f.write(token or "")
        os.rename(os.path.join(folder, "token.new"), os.path.join(folder, "token"))
    return True


GLib.timeout_add(100, poll)
window.connect("destroy", Gtk.main_quit)
Gtk.main()
