# "Stop and Quit…" with the bundled gateway: the page's stop button runs, the page leads to
# dralmik://quit, the application ends, withdraws its autostart entry and leaves no gateway.
. "$(dirname "$0")/lib.sh"

start_app "$BUNDLE"
wait_until 25 menu_has 'Stop and Quit…|true|true' || fail "stop never offered: $(menu_items | tr '\n' ' ')"
[ -f "$(autostart_entry)" ] && pass "autostart entry written at launch" || fail "no autostart entry"

menu_click 'Stop and Quit…' || fail "could not click Stop and Quit…"
wait_until 20 sh -c "! kill -0 $APP_PID" && pass "application ended" || fail "application still running"
wait "$APP_PID"; status=$?
[ "$status" -eq 0 ] || fail "exit status $status"
[ -f "$(autostart_entry)" ] && fail "autostart entry left behind" || pass "autostart entry removed"
if wait_until 10 none_left; then pass "no gateway process left"; else
    fail "left running: $(for p in $(own_processes); do { tr '\0' ' ' < "/proc/$p/cmdline"; } 2>/dev/null; echo; done)"; fi
finish
