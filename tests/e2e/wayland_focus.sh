# The window comes forward with the focus on Wayland, in sway with its focus-stealing prevention
# on (an activation counts only with a token from the compositor), from each road: the tray
# menu's open item and a ContextMenu call (which cannot place a menu on Wayland) after the host's
# ProvideXdgActivationToken, a second copy started with a launcher's token, and a notice's click
# with the server's token. Without a token the window does not take the focus from another
# program; the item's Activate is answered NotSupported and opens nothing where the host then
# opens the menu, and the window where it does not. Run as root, it runs itself as an
# unprivileged user (sway refuses root) on a private session bus, with copies of the bundle and
# of these scripts that the user can read wherever the build is.
if [ "$(id -u)" -eq 0 ]; then
    bundle=${1:?usage: wayland_focus.sh <bundle folder>}
    home=$(mktemp -d "${TMPDIR:-/tmp}/dralmik-e2e-user.XXXXXX") || exit 1
    cp -r "$bundle" "$home/Dralmik LLM Gateway.app" && cp -r "$(dirname "$0")" "$home/e2e" && chown -R 65534:65534 "$home"
    setpriv --reuid=65534 --regid=65534 --clear-groups env -i PATH="$PATH" HOME="$home" TMPDIR="$home" \
        dbus-run-session -- sh "$home/e2e/$(basename "$0")" "$home/Dralmik LLM Gateway.app"
    status=$?
    [ "$status" -eq 0 ] && rm -rf "$home"
    exit "$status"
fi
. "$(dirname "$0")/lib.sh"
unset DISPLAY
export GDK_BACKEND=wayland

cat > "$WORK/sway.config" <<CONFIG
xwayland disable
focus_on_window_activation focus
output HEADLESS-1 resolution 1280x800
CONFIG
WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$WORK/sway.config" >"$WORK/sway.log" 2>&1 &
STARTED_PIDS="$STARTED_PIDS $!"
wait_until 10 sh -c "ls '$XDG_RUNTIME_DIR'/sway-ipc.*" || { fail "sway did not start: $(tail -n 5 "$WORK/sway.log")"; finish; }
export SWAYSOCK=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.* | head -n1)
export WAYLAND_DISPLAY=$(cd "$XDG_RUNTIME_DIR" && ls wayland-* | grep -v lock | head -n1)

# The title of the window that has the focus.
focused() {
    swaymsg -t get_tree | /usr/bin/python3 -c '
import json, sys
def walk(node):
    if node.get("focused"):
        print(node.get("name") or ""); return
    for child in node.get("nodes", []) + node.get("floating_nodes", []): walk(child)
walk(json.load(sys.stdin))'
}
focused_is() { [ "$(focused)" = "$1" ]; }
# A fresh token from the focused "Other" window, which the compositor gives for the serial of
# the user's last input there (a key typed on a virtual keyboard).
mint() {
    wtype -k Shift_L && sleep 0.5  # the key reaches the window before it asks for the token
    rm -f "$WORK/token"; : > "$WORK/mint"
    wait_until 5 test -f "$WORK/token" && cat "$WORK/token"
}
focus_other() { swaymsg '[title="^Other$"] focus' >/dev/null; wait_until 5 focused_is Other; }
item_call() {
    method=$1; shift
    gdbus call --session --dest "$(bus_name_of "$APP_PID")" --object-path /StatusNotifierItem \
        --method "org.kde.StatusNotifierItem.$method" "$@" >/dev/null
}
# road NAME COMMAND...: with "Other" focused, COMMAND must bring the window forward.
road() {
    name=$1; shift
    focus_other || fail "could not focus the other window before: $name"
    "$@"
    wait_until 5 focused_is "$APP_NAME" && pass "$name: the window has the focus" || fail "$name: focus on '$(focused)'"
}

B=$(bundle_with_gateway "$E2E_DIR/test_gateway.js")
start_app "$B"
wait_until 20 focused_is "$APP_NAME" && pass "a new window has the focus" || fail "focus at start: '$(focused)'"
/usr/bin/python3 "$E2E_DIR/token_minter.py" "$WORK" >"$WORK/minter.log" 2>&1 &
STARTED_PIDS="$STARTED_PIDS $!"
wait_until 10 focused_is Other || fail "the other window did not come up: $(cat "$WORK/minter.log")"
wait_until 20 menu_has 'Serving|true|false' || fail "no tray menu"

# Without a token the compositor keeps the focus where the user has it.
menu_click 'Open Dralmik LLM Gateway' || fail "could not click the open item"
sleep 2
focused_is Other && pass "without a token the focus stays" || fail "the window took the focus with no token"

# Activate, even with a token, opens nothing where the host then opens the menu (it asks for it):
# the item is its menu.
item_call ProvideXdgActivationToken "$(mint)" || fail "ProvideXdgActivationToken"
reply=$(gdbus call --session --dest "$(bus_name_of "$APP_PID")" --object-path /StatusNotifierItem     --method org.kde.StatusNotifierItem.Activate 0 0 2>&1)
gdbus call --session --dest "$(bus_name_of "$APP_PID")" --object-path /StatusNotifierItem/Menu \
    --method com.canonical.dbusmenu.AboutToShow 0 >/dev/null
case "$reply" in *org.freedesktop.DBus.Error.NotSupported*) pass "Activate is answered NotSupported" ;; *) fail "Activate: $reply" ;; esac
sleep 2
focused_is Other && pass "Activate leaves the focus where it is" || fail "Activate moved the focus to '$(focused)'"

open_item_with_token() { item_call ProvideXdgActivationToken "$(mint)" && menu_click 'Open Dralmik LLM Gateway'; }
context_menu_with_token() { item_call ProvideXdgActivationToken "$(mint)" && item_call ContextMenu 0 0; }
second_copy_with_token() { XDG_ACTIVATION_TOKEN=$(mint) "$(executable_of "$B")" >>"$WORK/app.log" 2>&1; }
road "the tray's open item" open_item_with_token
road "ContextMenu, with no menu to place" context_menu_with_token
activate_with_token() { item_call ProvideXdgActivationToken "$(mint)" && { item_call Activate 0 0 || :; }; }
road "Activate from a host that opens no menu" activate_with_token
road "a second copy from a launcher" second_copy_with_token

# A hidden start with no tray host: its notice's click, with the server's token.
kill -TERM "$APP_PID"; wait "$APP_PID" 2>/dev/null
start_fake notifications "$WORK/notices.log"
start_app "$B" --background
wait_until 20 grep -q '^notify ' "$WORK/notices.log" || fail "no notice"
click_notice() {
    gdbus call --session --dest org.freedesktop.Notifications --object-path /org/freedesktop/Notifications \
        --method org.freedesktop.Notifications.Click 1 "$(mint)" >/dev/null
}
road "the notice's click" click_notice
finish
