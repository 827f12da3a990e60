# "--background", as at login, with a panel that comes up late or not at all:
# - a panel whose watcher comes about 2 s after the application, and owns its name before it
#   serves (as a panel that is still starting may): the item registers there and no notice is
#   posted, also past the grace period;
# - then with the tray host: no window, the tray menu only; its open item shows the window with
#   the page already loaded (not requested again), and Ctrl+W hides it;
# - with no panel at all the notice comes after a grace period, within 15 s of the start, and a
#   panel that comes after it withdraws it (CloseNotification) and takes the item.
. "$(dirname "$0")/lib.sh"

NOTICES="$WORK/notices.log"
start_fake notifications "$NOTICES"

export E2E_LOG="$WORK/gateway.log"
B=$(bundle_with_gateway "$E2E_DIR/test_gateway.js")
started=$(date +%s)
start_app "$B" --background
sleep 2
start_fake watcher "$WORK/watcher.log" --object-after 0.5
WATCHER_PID=$FAKE_PID
wait_until 15 grep -q "^item $(bus_name_of "$APP_PID") /StatusNotifierItem\$" "$WORK/watcher.log" &&
    pass "the item registers with a late watcher" || fail "watcher saw: $(cat "$WORK/watcher.log" 2>/dev/null)"
wait_until 20 menu_has 'Serving|true|false' && pass "tray menu mirrors the page" || fail "tray menu: $(menu_items | tr '\n' ' ')"
# Past the grace period.
left=$(( started + 13 - $(date +%s) ))
[ "$left" -gt 0 ] && sleep "$left"
grep -q '^notify ' "$NOTICES" 2>/dev/null && fail "a notice beside a late panel: $(cat "$NOTICES")" || pass "no notice beside a late panel"
if window_visible; then fail "a window is mapped after --background"; else pass "no window mapped"; fi
requests=$(grep -c '^request / ' "$E2E_LOG")
[ "$requests" -eq 1 ] || fail "page requested $requests times"

menu_click 'Open Dralmik LLM Gateway' || fail "could not click the open item"
wait_until 10 window_visible && pass "open item maps the window" || fail "window not shown"
sleep 1
[ "$(grep -c '^request / ' "$E2E_LOG")" -eq 1 ] && pass "page was already loaded" || fail "page loaded again"

# Closing the window as the user does (the Window menu's Close shortcut) hides it; the tray
# item shows it again. Out of sight past the application's release of memory (5 s), the page
# stays: the tray still mirrors it, and shown again it is the same page, drawn at once (its
# state pill, #14532d, on screen right away), not loaded again.
wid=$(xdotool search --onlyvisible --name "^$APP_NAME\$" | head -n1)
xdotool windowfocus --sync "$wid" key ctrl+w
wait_until 5 sh -c "! xdotool search --onlyvisible --name '^$APP_NAME\$'" && pass "Ctrl+W hides the window" || fail "still mapped after Ctrl+W"
alive "$APP_PID" && pass "application outlives a close" || fail "application ended on close"
sleep 8
menu_has 'Serving|true|false' && pass "the tray still mirrors the page out of sight" || fail "tray menu: $(menu_items | tr '\n' ' ')"
menu_click 'Open Dralmik LLM Gateway' || fail "could not click the open item"
wait_until 10 window_visible && pass "the tray shows it again" || fail "window not shown again"
pill_shown() {
    import -window root "$WORK/shown.png" 2>/dev/null
    green=$(convert "$WORK/shown.png" -fill black +opaque '#14532d' -fill white -opaque '#14532d' -format '%[fx:mean*w*h]' info:)
    awk "BEGIN { exit !($green > 200) }"
}
wait_until 3 pill_shown && pass "shown again, the page is drawn at once" || fail "the page was not drawn within 3 s of showing"
[ "$(grep -c '^request / ' "$E2E_LOG")" -eq 1 ] && pass "the page was kept, not loaded again" || fail "page loaded again after a close"

# No panel at all: the notice waits, then comes; a panel after it withdraws it.
kill -TERM "$APP_PID" "$WATCHER_PID"; wait "$APP_PID" "$WATCHER_PID" 2>/dev/null
started=$(date +%s)
start_app "$B" --background
sleep 4
grep -q '^notify ' "$NOTICES" && fail "the notice came at once, before any panel could" || pass "the notice waits for a panel"
wait_until 15 grep -q '^notify ' "$NOTICES" && pass "with no panel the notice comes ($(( $(date +%s) - started )) s after the start)" ||
    fail "no notice within 15 s of a start with no panel"
start_fake watcher "$WORK/watcher2.log"
wait_until 10 grep -qx 'close 1' "$NOTICES" && pass "a panel after the notice withdraws it" || fail "notices: $(cat "$NOTICES")"
wait_until 10 grep -q "^item " "$WORK/watcher2.log" || fail "the item did not register with the panel after the notice"
if window_visible; then fail "a window is mapped after the notice was withdrawn"; fi
finish
