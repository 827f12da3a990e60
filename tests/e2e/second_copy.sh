# Single instance: a second copy hands over to the first and exits 0; with "--background" it
# exits 0 and the first stays as it was (a tray host shows its item).
. "$(dirname "$0")/lib.sh"

start_fake watcher "$WORK/watcher.log"
export E2E_LOG="$WORK/gateway.log"
B=$(bundle_with_gateway "$E2E_DIR/test_gateway.js")
start_app "$B" --background
FIRST=$APP_PID
wait_until 20 menu_has 'Serving|true|false' || fail "first copy not up"

timeout 20 "$(executable_of "$B")" --background >>"$WORK/app.log" 2>&1
status=$?
[ "$status" -eq 0 ] && pass "second copy with --background exits 0" || fail "second copy --background: exit $status"
sleep 1
if window_visible; then fail "first copy showed its window for a --background copy"; else pass "first copy stays hidden"; fi

timeout 20 "$(executable_of "$B")" >>"$WORK/app.log" 2>&1
status=$?
[ "$status" -eq 0 ] && pass "second copy exits 0" || fail "second copy: exit $status"
wait_until 10 window_visible && pass "first copy shows its window" || fail "first copy did not show its window"
alive "$FIRST" || fail "first copy ended"
[ "$(grep -c '^start ' "$E2E_LOG")" -eq 1 ] || fail "the gateway was started more than once"
finish
