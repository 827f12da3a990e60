# A normal start: the window is mapped with its title and shows the gateway's page, requested
# with the application's user agent; the tray menu follows the page's state; the screen is not
# blank; a screen reader finds it by its name.
. "$(dirname "$0")/lib.sh"

export E2E_LOG="$WORK/gateway.log"
B=$(bundle_with_gateway "$E2E_DIR/test_gateway.js")
unset NO_AT_BRIDGE
dbus-update-activation-environment HOME XDG_RUNTIME_DIR DISPLAY XAUTHORITY 2>/dev/null  # for the accessibility bus
start_app "$B"

wait_until 20 window_visible && pass "window mapped with its title" || fail "no window titled '$APP_NAME'"
wait_until 20 grep -q '^request / ' "$E2E_LOG" || fail "the gateway page was never requested"
if grep '^request / ' "$E2E_LOG" | grep -q ' DralmikLLMGatewayApp$'; then
    pass "user agent ends in the application name"
else
    fail "user agent: $(grep '^request / ' "$E2E_LOG" | head -n1)"
fi
grep -q '^start open --print$' "$E2E_LOG" || fail "gateway not started with 'open --print'"

# The window belongs to the application and matches its desktop entry.
props=$(xprop -id "$(xdotool search --onlyvisible --name "^$APP_NAME\$" | head -n1)" WM_CLASS _GTK_APPLICATION_ID _NET_WM_ICON 2>/dev/null | cut -c1-200)
printf '%s\n' "$props" | grep -qx 'WM_CLASS(STRING) = "com.dralmik.gateway.app", "com.dralmik.gateway.app"' || fail "WM_CLASS: $props"
printf '%s\n' "$props" | grep -q '^_GTK_APPLICATION_ID(UTF8_STRING) = "com.dralmik.gateway.app"' || fail "application id: $props"
printf '%s\n' "$props" | grep -q '^_NET_WM_ICON(CARDINAL) = ' && pass "window identity" || fail "no window icon: $props"
names=$(/usr/bin/python3 -c 'import pyatspi; print("|".join(a.name for a in pyatspi.Registry.getDesktop(0)))' 2>&1)
case "|$names|" in *"|$APP_NAME|"*) pass "named over AT-SPI" ;; *) fail "AT-SPI names: $names" ;; esac

# The menu reads the page every 2 s.
if wait_until 15 menu_has 'Serving|true|false'; then pass "state line mirrors the page"; else fail "state line: $(state_line)"; fi
menu_has 'Disconnect…|true|true' || fail "Disconnect… not offered: $(menu_items | tr '\n' ' ')"
menu_has 'Stop and Quit…|true|true' || fail "Stop and Quit… not offered"
menu_has 'Open Dralmik LLM Gateway|true|true' || fail "no open item"
menu_has 'Quit Menu Bar Icon (keeps running)|true|true' || fail "no quit item"

# The tray host announces that the menu opens; the page is asked to refresh itself.
dest=$(bus_name_of "$APP_PID")
gdbus call --session --dest "$dest" --object-path "$MENU_PATH" --method com.canonical.dbusmenu.AboutToShow 0 >/dev/null
wait_until 5 grep -q '^request /refresh ' "$E2E_LOG" && pass "menu opening refreshes the page" ||
    fail "the menu's opening did not reach the page"

deviation=$(screenshot "$WORK/screen.png")
if awk "BEGIN { exit !($deviation > 0.02) }"; then pass "screenshot not blank ($deviation)"; else fail "blank screen ($deviation)"; fi
[ -n "${E2E_SCREENSHOT:-}" ] && cp "$WORK/screen.png" "$E2E_SCREENSHOT"
# The dark appearance: the menu bar along the window's top has the dark variant's light text.
eval "$(xdotool getwindowgeometry --shell "$(xdotool search --onlyvisible --name "^$APP_NAME\$" | head -n1)")"
bar=$(convert "$WORK/screen.png" -crop "${WIDTH}x20+${X}+${Y}" -colorspace Gray -format "%[fx:maxima]" info:)
if awk "BEGIN { exit !($bar > 0.6) }"; then pass "menu bar in the dark variant ($bar)"; else fail "menu bar not in the dark variant ($bar)"; fi

alive "$APP_PID" || fail "application ended"
finish
