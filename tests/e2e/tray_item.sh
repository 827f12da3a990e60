# The tray item as hosts see it, in a session with no tray host (neither a StatusNotifierWatcher
# nor an XEmbed tray manager) and a stand-in notification service:
# - a start with --background says in one notice that the gateway runs, and the notice's
#   click opens the window; a start where a watcher runs sends none, and the item registers
#   there;
# - the item names a symbolic icon in its icon theme folder (GTK hosts recolour it; as it is,
#   it reads on light, dark and blue panels), and the same name's regular icon there is a square
#   drawing at 1x and 2x that reads on all three;
# - the item is its menu (ItemIsMenu): a host's Activate or SecondaryActivate call is answered
#   NotSupported and opens nothing, so that the host opens the menu; ContextMenu pops it up;
# - where only an XEmbed tray runs, a left click on the icon pops the menu up as a right click does.
. "$(dirname "$0")/lib.sh"

ITEM_PATH=/StatusNotifierItem
LIGHT_PANEL='#f6f5f4'
DARK_PANEL='#2b2b2b'
BLUE_PANEL='#2980b9'  # waybar's tray: neither white nor a dark grey reaches 4.5:1 on it
NOTICES="$WORK/notices.log"

notify_service() {
    method=$1; shift
    gdbus call --session --dest org.freedesktop.Notifications --object-path /org/freedesktop/Notifications \
        --method "org.freedesktop.Notifications.$method" "$@" >/dev/null
}

# With neither a tray host nor a notification service, a hidden start opens its window.
B=$(bundle_with_gateway "$E2E_DIR/test_gateway.js")
start_app "$B" --background
wait_until 20 window_visible && pass "nothing can show the item or a notice: the window opens" ||
    fail "a hidden start with nowhere to show anything stayed invisible"
# Closing it then leaves it in reach (no window manager here to take it to a dock).
wid=$(xdotool search --onlyvisible --name "^$APP_NAME\$" | head -n1)
xdotool windowfocus --sync "$wid" key ctrl+w
sleep 1
window_visible && pass "closing the only face keeps it" || fail "Ctrl+W hid the application's only window"
kill -TERM "$APP_PID"; wait "$APP_PID" 2>/dev/null

start_fake notifications "$NOTICES"
start_app "$B" --background
wait_until 20 menu_has 'Serving|true|false' || fail "no tray menu"

wait_until 15 grep -q '^notify ' "$NOTICES" || fail "no notice for a start nothing shows"
sleep 1
notice=$(grep '^notify ' "$NOTICES")
[ "$(printf '%s\n' "$notice" | wc -l)" -eq 1 ] || fail "more than one notice: $notice"
case "$notice" in
    "notify "*"|Dralmik LLM Gateway|The gateway is running in the background."*"|default"*) pass "one notice: $notice" ;;
    *) fail "notice: $notice" ;;
esac
icon=${notice##*|}
[ -f "${icon#file://}" ] && pass "the notice's icon is the bundle's file" || fail "notice icon: $icon"
if window_visible; then fail "a window is mapped before the notice's click"; fi
notify_service Click 1 e2e-token
wait_until 10 window_visible && pass "the notice's click opens the window" || fail "the notice's click opened nothing"

# With a watcher, the item registers there and no notice is sent.
kill -TERM "$APP_PID"; wait "$APP_PID" 2>/dev/null
# registers_beside ROLE PATH: a hidden start beside a stand-in watcher of that role; the item
# registers there at PATH, and its properties there are read (dest, props, name).
registers_beside() {
    start_fake "$1" "$WORK/$1.log"
    WATCHER_PID=$FAKE_PID
    start_app "$B" --background
    wait_until 20 menu_has 'Serving|true|false' || fail "no tray menu beside the $1"
    wait_until 10 grep -q "^item $(bus_name_of "$APP_PID") $2\$" "$WORK/$1.log" &&
        pass "beside the $1 the item registers at $2" || fail "the $1 saw: $(cat "$WORK/$1.log" 2>/dev/null)"
    dest=$(bus_name_of "$APP_PID")
    props=$(gdbus call --session --dest "$dest" --object-path "$2" \
        --method org.freedesktop.DBus.Properties.GetAll org.kde.StatusNotifierItem)
    name=$(printf '%s\n' "$props" | sed -n "s/.*'IconName': <'\([^']*\)'>.*/\1/p")
}
registers_beside watcher "$ITEM_PATH"
theme=$(printf '%s\n' "$props" | sed -n "s/.*'IconThemePath': <'\([^']*\)'>.*/\1/p")
[ "$name" = com.dralmik.gateway.app-symbolic ] && pass "icon name $name" || fail "icon name: $props"
for expected in "'ItemIsMenu': <true>" "'Menu': <objectpath '/StatusNotifierItem/Menu'>" \
    "'Category': <'ApplicationStatus'>" "'ToolTip': <('', @a(iiay) [], 'Dralmik LLM Gateway', '')>" \
    "'IconPixmap': <[(16, 16, [byte" "(22, 22, [" "(44, 44, [" "(64, 64, ["; do
    case "$props" in *"$expected"*) ;; *) fail "item property: $expected not in $(printf '%s' "$props" | cut -c1-300)" ;; esac
done
case "$theme" in "$XDG_RUNTIME_DIR"/*) ;; *) fail "icon theme path outside the runtime folder: $theme" ;; esac

# What a GTK host finds for the name in that folder, and for the regular icon it falls back to.
lookup=$(/usr/bin/python3 - "$theme" "$name" <<'PY'
import sys, gi
gi.require_version("Gtk", "3.0")
from gi.repository import Gtk
theme = Gtk.IconTheme()
theme.append_search_path(sys.argv[1])  # as hosts do: after the system themes
for flags in (0, Gtk.IconLookupFlags.FORCE_REGULAR):
    for scale in (1, 2):
        info = theme.lookup_icon_for_scale(sys.argv[2], 22, scale, flags)
        print(info.get_filename() if info else None, info and info.is_symbolic())
PY
)
printf '%s\n' "$lookup" | sed -n 1,2p | grep -qv "/hicolor/symbolic/apps/$name.svg True" &&
    fail "GTK does not find the symbolic icon: $lookup" || pass "GTK hosts find the symbolic icon"
printf '%s\n' "$lookup" | sed -n 3p | grep -q '/hicolor/22x22/apps/com.dralmik.gateway.app.png False$' &&
    printf '%s\n' "$lookup" | sed -n 4p | grep -q '/hicolor/22x22@2/apps/com.dralmik.gateway.app.png False$' &&
    pass "regular icons at 1x and 2x" || fail "regular lookups: $lookup"

for pixmap in "$theme/hicolor/22x22/apps/com.dralmik.gateway.app.png:22x22" "$theme/hicolor/22x22@2/apps/com.dralmik.gateway.app.png:44x44"; do
    file=${pixmap%:*} size=${pixmap##*:}
    [ "$(identify -format '%wx%h' "$file" 2>/dev/null)" = "$size" ] || fail "$file is not $size"
    for panel in "$LIGHT_PANEL" "$DARK_PANEL" "$BLUE_PANEL"; do
        set -- $(/usr/bin/python3 "$E2E_DIR/contrast.py" "$file" "$panel" 2>/dev/null) 1 0
        log "  $size on $panel: best contrast $1:1, $2 pixels at 3:1 or more"
        # Text-grade contrast, on a good part of the drawing and not on a stray pixel.
        if awk "BEGIN { exit !($1 >= 4.5 && $2 >= ${size%x*}) }"; then :; else fail "$size illegible on $panel ($1:1, $2 pixels)"; fi
    done
done
[ "$FAILED" -eq 0 ] && pass "pixmaps legible on light, dark and blue panels"

# The symbolic file as hosts that take it as it is draw it (MATE, LXQt, waybar), and as a GTK host
# recolours it: legible on every panel as it is; recoloured, in the panel's text colour alone.
symbolic="$theme/hicolor/symbolic/apps/$name.svg"
/usr/bin/python3 - "$symbolic" "$WORK" <<'PY' || fail "could not render $symbolic"
import sys, gi
gi.require_version("Gtk", "3.0")
from gi.repository import Gtk, Gdk, GdkPixbuf
GdkPixbuf.Pixbuf.new_from_file_at_size(sys.argv[1], 22, 22).savev(sys.argv[2] + "/symbolic-raw.png", "png", [], [])
# A GTK host: the theme lookup, then load_symbolic in its text colour.
theme = Gtk.IconTheme()
theme.append_search_path(sys.argv[1].rsplit("/hicolor/", 1)[0])
name = sys.argv[1].rsplit("/", 1)[1][:-len(".svg")]
for text in ("#2e3436", "#eeeeec"):
    colour = Gdk.RGBA()
    colour.parse(text)
    pixbuf, _ = theme.lookup_icon(name, 22, 0).load_symbolic(colour, None, None, None)
    pixbuf.savev("%s/symbolic-%s.png" % (sys.argv[2], text[1:]), "png", [], [])
PY
for panel in "$LIGHT_PANEL" "$DARK_PANEL" "$BLUE_PANEL"; do
    set -- $(/usr/bin/python3 "$E2E_DIR/contrast.py" "$WORK/symbolic-raw.png" "$panel" 2>/dev/null) 1 0
    log "  the symbolic file as it is, on $panel: best contrast $1:1, $2 pixels at 3:1 or more"
    awk "BEGIN { exit !($1 >= 4.5 && $2 >= 22) }" || fail "the symbolic file as it is is illegible on $panel ($1:1, $2 pixels)"
done
set -- $(/usr/bin/python3 "$E2E_DIR/contrast.py" "$WORK/symbolic-2e3436.png" "$LIGHT_PANEL" 2>/dev/null) 1 0
awk "BEGIN { exit !($1 >= 4.5) }" || fail "recoloured dark, the symbolic icon is illegible on $LIGHT_PANEL ($1:1)"
set -- $(/usr/bin/python3 "$E2E_DIR/contrast.py" "$WORK/symbolic-eeeeec.png" "$DARK_PANEL" 2>/dev/null) 1 0
awk "BEGIN { exit !($1 >= 4.5) }" || fail "recoloured light, the symbolic icon is illegible on $DARK_PANEL ($1:1)"
# The black edge is for hosts that do not recolour: a GTK host's dark text colour hides it, so
# nothing in the recoloured icon is darker than the text colour itself.
darkest=$(convert "$WORK/symbolic-2e3436.png" -background "$LIGHT_PANEL" -flatten -colorspace Gray -format '%[fx:minima.r*255]' info: 2>/dev/null)
awk "BEGIN { exit !(${darkest:-0} >= 40) }" && pass "the symbolic icon: legible as it is, recoloured without its edge" ||
    fail "recoloured dark, the symbolic icon keeps a black edge (darkest grey ${darkest:-?})"

# A left click in hosts that activate an item: told that the item has no click action of its
# own, they open its menu (and ask for it, AboutToShow); where a host does not, the item opens
# the menu by the pointer. The window stays closed.
if window_visible; then fail "a window is mapped before Activate"; fi
xdotool mousemove 500 300
menu_popup_at() { xwininfo -root -children | grep -q "(\"com.dralmik.gateway.app\" \"com.dralmik.gateway.app\")  [0-9]*x[0-9]*+$1 "; }
for method in SecondaryActivate Activate; do
    reply=$(gdbus call --session --dest "$dest" --object-path "$ITEM_PATH" --method "org.kde.StatusNotifierItem.$method" 0 0 2>&1)
    gdbus call --session --dest "$dest" --object-path "$ITEM_PATH/Menu" --method com.canonical.dbusmenu.AboutToShow 0 >/dev/null
    case "$reply" in
        *org.freedesktop.DBus.Error.NotSupported*) pass "$method is answered NotSupported" ;;
        *) fail "$method: $reply" ;;
    esac
done
sleep 1.5
if menu_popup_at '500+300'; then fail "the item opened its menu although the host asked for it"; fi
gdbus call --session --dest "$dest" --object-path "$ITEM_PATH" --method org.kde.StatusNotifierItem.Activate 0 25 >/dev/null 2>&1
wait_until 5 menu_popup_at '500+300' && pass "Activate from a host that opens no menu: the menu by the pointer" ||
    fail "no menu by the pointer after Activate: $(xwininfo -root -children | grep dralmik)"
xdotool key Escape
sleep 1
if window_visible; then fail "Activate opened the window"; else pass "Activate opens no window"; fi

# A host without dbusmenu asks for the menu at a point: on X11 it pops up there.
reply=$(gdbus call --session --dest "$dest" --object-path "$ITEM_PATH" --method org.kde.StatusNotifierItem.ContextMenu 300 200 2>&1)
[ "$reply" = "()" ] || fail "ContextMenu: $reply"
popup() { xwininfo -root -children | grep -q '("com.dralmik.gateway.app" "com.dralmik.gateway.app")  [0-9]*x[0-9]*+300+200 '; }
wait_until 5 popup && pass "ContextMenu pops the menu up at the point" || fail "no menu at 300,200: $(xwininfo -root -children | grep dralmik)"

[ "$(grep -c '^notify ' "$NOTICES")" -eq 1 ] && pass "no notice where a host runs" || fail "notices: $(cat "$NOTICES")"

# XApp's watcher (Cinnamon) looks a name up as a symbolic one first, and its status icons draw
# nothing for a file path with "symbolic" in it; it opens the menu on a left click only for items
# at the application indicators' path. The item is registered there and names its drawing's file.
kill -TERM "$APP_PID" "$WATCHER_PID"; wait "$APP_PID" "$WATCHER_PID" 2>/dev/null
XAPP_PATH=/org/ayatana/NotificationItem/dralmik_gateway
registers_beside xapp-watcher "$XAPP_PATH"
case "$name" in
    *symbolic*) fail "XApp's watcher is given a name with symbolic in it: $name" ;;
    /*) [ "$(identify -format '%wx%h' "$name" 2>/dev/null)" = 44x44 ] && pass "XApp's watcher is given the 2x drawing's file" ||
            fail "not the 2x drawing: $name" ;;
    *) fail "XApp's watcher is given the name $name" ;;
esac
case "$props" in *"'Menu': <objectpath '/StatusNotifierItem/Menu'>"*) ;; *) fail "item at $XAPP_PATH: $props" ;; esac

# Where only an XEmbed tray runs (trayer, at the top right), a real click on the icon, left or
# right, pops the menu up below it; the window stays closed.
kill -TERM "$APP_PID" "$WATCHER_PID"; wait "$APP_PID" "$WATCHER_PID" 2>/dev/null
trayer --edge top --align right --widthtype request --height 24 >"$WORK/trayer.log" 2>&1 &
STARTED_PIDS="$STARTED_PIDS $!"
wait_until 10 sh -c 'xwininfo -root -children | grep -q "(\"panel\" \"trayer\")"' || fail "trayer did not start"
start_app "$B" --background
# The application's windows on screen, as "X Y WIDTH HEIGHT": the tray icon (22x22), the menu,
# and the window (760x640) when it is open.
app_windows() {
    for w in $(xdotool search --onlyvisible --class com.dralmik.gateway.app 2>/dev/null); do
        xwininfo -id "$w" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'
    done
}
icon_box() { app_windows | awk '$3 == 22 && $4 == 22' | grep .; }
menu_box() { app_windows | awk '$3 > 100 && $3 < 437 && $4 > 60 && $4 < 480' | grep .; }
main_window_shown() { app_windows | awk '$3 >= 437 && $4 >= 480' | grep -q .; }
wait_until 20 icon_box && pass "the XEmbed icon is embedded" || fail "no XEmbed icon: $(app_windows | tr '\n' ';')"
set -- $(icon_box) 0 0
icon_x=$(( $1 + 11 )) icon_y=$(( $2 + 11 ))
sleep 1
for button in 1 3; do
    xdotool mousemove "$icon_x" "$icon_y" click "$button"
    if wait_until 5 menu_box; then
        set -- $(menu_box)
        [ "$2" -ge "$icon_y" ] && pass "button $button on the XEmbed icon pops the menu up below it ($3x$4 at $1,$2)" ||
            fail "button $button: a menu at $1,$2, not below the icon at $icon_x,$icon_y"
    else
        fail "button $button on the XEmbed icon popped no menu up: $(app_windows | tr '\n' ';')"
    fi
    if main_window_shown; then fail "button $button on the XEmbed icon opened the window"; fi
    xdotool key Escape
    n=0; while menu_box >/dev/null && [ "$n" -lt 25 ]; do sleep 0.2; n=$((n + 1)); done
    sleep 0.5
done
[ "$(grep -c '^notify ' "$NOTICES")" -eq 1 ] && pass "no notice where an XEmbed tray shows the item" || fail "notices: $(cat "$NOTICES")"
finish
