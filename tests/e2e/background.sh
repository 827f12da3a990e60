# "--background" in a session with a tray host: no window, the tray menu only; its open item
# shows the window with the page already loaded (not requested again).
. "$(dirname "$0")/lib.sh"

start_fake watcher "$WORK/watcher.log"

export E2E_LOG="$WORK/gateway.log"
B=$(bundle_with_gateway "$E2E_DIR/test_gateway.js")
start_app "$B" --background

wait_until 20 menu_has 'Serving|true|false' && pass "tray menu mirrors the page" || fail "tray menu: $(menu_items | tr '\n' ' ')"
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
finish
