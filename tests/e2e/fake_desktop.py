# fake_desktop.py notifications|watcher LOG [--object-after SECONDS]: a stand-in for a desktop
# service on the session bus.
#   notifications  org.freedesktop.Notifications: each Notify call is written to LOG as
#                  "notify APP|SUMMARY|BODY|ACTION,ACTION...|ICON" and answered with the next id
#                  (1, 2, ...); each CloseNotification as "close ID"; the test's own method
#                  Click(id, token) emits ActivationToken(id, token) and ActionInvoked(id,
#                  "default"), as a click on the notice does.
#   watcher        org.kde.StatusNotifierWatcher with a host registered: each item that registers
#                  is written to LOG as "item SERVICE PATH".
#   xapp-watcher   the same, owning XApp's org.x.StatusNotifierWatcher too, as Cinnamon's does.
# --object-after: the service owns its name that many seconds before it serves its object, as a
# panel that is still starting may (calls before then get an error).
# It prints "ready" once it owns its name and runs until it is ended.
import sys

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib

ROLES = {
    "notifications": ("org.freedesktop.Notifications", "/org/freedesktop/Notifications", """
<node><interface name="org.freedesktop.Notifications">
  <method name="Notify"><arg type="s" direction="in"/><arg type="u" direction="in"/><arg type="s" direction="in"/>
    <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="as" direction="in"/>
    <arg type="a{sv}" direction="in"/><arg type="i" direction="in"/><arg type="u" direction="out"/></method>
  <method name="CloseNotification"><arg type="u" direction="in"/></method>
  <method name="GetCapabilities"><arg type="as" direction="out"/></method>
  <method name="GetServerInformation"><arg type="s" direction="out"/><arg type="s" direction="out"/>
    <arg type="s" direction="out"/><arg type="s" direction="out"/></method>
  <method name="Click"><arg type="u" direction="in"/><arg type="s" direction="in"/></method>
  <signal name="ActionInvoked"><arg type="u"/><arg type="s"/></signal>
  <signal name="ActivationToken"><arg type="u"/><arg type="s"/></signal>
  <signal name="NotificationClosed"><arg type="u"/><arg type="u"/></signal>
</interface></node>"""),
    "watcher": ("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher", """
<node><interface name="org.kde.StatusNotifierWatcher">
  <method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method>
  <method name="RegisterStatusNotifierHost"><arg type="s" direction="in"/></method>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
  <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
</interface></node>"""),
}
role, log = sys.argv[1], sys.argv[2]
object_after = float(sys.argv[4]) if len(sys.argv) > 4 and sys.argv[3] == "--object-after" else 0
name, path, xml = ROLES["watcher" if role == "xapp-watcher" else role]
items = []
notices = [0]


def write(line):
    with open(log, "a") as f:
        f.write(line + "\n")


def call(connection, sender, _path, interface, method, args, invocation):
    if method == "Notify":
        app, _replaces, icon, summary, body, actions = args.unpack()[:6]
        write("notify %s|%s|%s|%s|%s" % (app, summary, body, ",".join(actions[0::2]), icon))
        notices[0] += 1
        invocation.return_value(GLib.Variant("(u)", (notices[0],)))
    elif method == "CloseNotification":
        write("close %d" % args[0])
        connection.emit_signal(None, path, interface, "NotificationClosed", GLib.Variant("(uu)", (args[0], 3)))
        invocation.return_value(None)
    elif method == "Click":
        connection.emit_signal(None, path, interface, "ActivationToken", GLib.Variant("(us)", (args[0], args[1])))
        connection.emit_signal(None, path, interface, "ActionInvoked", GLib.Variant("(us)", (args[0], "default")))
        invocation.return_value(None)
    elif method == "GetCapabilities":
        invocation.return_value(GLib.Variant("(as)", (["actions", "body"],)))
    elif method == "GetServerInformation":
        invocation.return_value(GLib.Variant("(ssss)", ("fake", "test", "1", "1.2")))
    elif method == "RegisterStatusNotifierItem":
        items.append(sender)
        write("item %s %s" % (sender, args[0]))
        connection.emit_signal(None, path, interface, "StatusNotifierItemRegistered", GLib.Variant("(s)", (sender,)))
        invocation.return_value(None)
    else:
        invocation.return_value(None)


def get_property(_connection, _sender, _path, _interface, prop):
    return {"RegisteredStatusNotifierItems": GLib.Variant("as", items),
            "IsStatusNotifierHostRegistered": GLib.Variant("b", True),
            "ProtocolVersion": GLib.Variant("i", 0)}[prop]


def acquired(connection, _name):
    print("ready", flush=True)


def serve(connection):
    connection.register_object(path, Gio.DBusNodeInfo.new_for_xml(xml).interfaces[0], call, get_property, None)
    return False


def bus_acquired(connection, _name):
    if object_after:
        GLib.timeout_add(int(object_after * 1000), serve, connection)
    else:
        serve(connection)


if role == "xapp-watcher":
    Gio.bus_own_name(Gio.BusType.SESSION, "org.x.StatusNotifierWatcher", Gio.BusNameOwnerFlags.NONE, None, None, None)
Gio.bus_own_name(Gio.BusType.SESSION, name, Gio.BusNameOwnerFlags.NONE, bus_acquired, acquired, lambda *a: sys.exit(1))
GLib.MainLoop().run()
