# The tray icon as hosts see it: the item names a symbolic icon in its icon theme folder (GTK
# hosts recolour it), and the same name's regular icon there is a square drawing at 1x and 2x
# that reads on a light and on a dark panel.
. "$(dirname "$0")/lib.sh"

ITEM_PATH=/org/ayatana/NotificationItem/dralmik_gateway
LIGHT_PANEL='#f6f5f4'
DARK_PANEL='#2b2b2b'
B=$(bundle_with_gateway "$E2E_DIR/test_gateway.js")
start_app "$B" --background
wait_until 20 menu_has 'Serving|true|false' || fail "no tray menu"

dest=$(bus_name_of "$APP_PID")
props=$(gdbus call --session --dest "$dest" --object-path "$ITEM_PATH" \
    --method org.freedesktop.DBus.Properties.GetAll org.kde.StatusNotifierItem)
name=$(printf '%s\n' "$props" | sed -n "s/.*'IconName': <'\([^']*\)'>.*/\1/p")
theme=$(printf '%s\n' "$props" | sed -n "s/.*'IconThemePath': <'\([^']*\)'>.*/\1/p")
[ "$name" = com.dralmik.gateway.app-symbolic ] && pass "icon name $name" || fail "icon name: $props"
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
[ -f "$theme/$name.png" ] || fail "no $name.png at the folder's top for hosts that open it by path"

for pixmap in "$theme/hicolor/22x22/apps/com.dralmik.gateway.app.png:22x22" "$theme/hicolor/22x22@2/apps/com.dralmik.gateway.app.png:44x44"; do
    file=${pixmap%:*} size=${pixmap##*:}
    [ "$(identify -format '%wx%h' "$file" 2>/dev/null)" = "$size" ] || fail "$file is not $size"
    for panel in "$LIGHT_PANEL" "$DARK_PANEL"; do
        set -- $(/usr/bin/python3 "$E2E_DIR/contrast.py" "$file" "$panel")
        log "  $size on $panel: best contrast $1:1, $2 pixels at 3:1 or more"
        # Text-grade contrast, on a good part of the drawing and not on a stray pixel.
        if awk "BEGIN { exit !($1 >= 4.5 && $2 >= ${size%x*}) }"; then :; else fail "$size illegible on $panel ($1:1, $2 pixels)"; fi
    done
done
[ "$FAILED" -eq 0 ] && pass "pixmaps legible on light and dark panels"
finish
