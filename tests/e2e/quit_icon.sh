# "Quit Menu Bar Icon (keeps running)": the application ends, its still-running gateway gets
# SIGTERM, and the autostart entry stays.
. "$(dirname "$0")/lib.sh"

export E2E_LOG="$WORK/gateway.log"
B=$(bundle_with_gateway "$E2E_DIR/test_gateway.js")
start_app "$B"
wait_until 20 menu_has 'Serving|true|false' || fail "gateway page not up"

menu_click 'Quit Menu Bar Icon (keeps running)' || fail "could not click the quit item"
wait_until 15 sh -c "! kill -0 $APP_PID" && pass "application ended" || fail "application still running"
wait_until 5 grep -qx sigterm "$E2E_LOG" && pass "gateway got SIGTERM" || fail "no SIGTERM reached the gateway"
[ -f "$(autostart_entry)" ] && pass "autostart entry stays" || fail "autostart entry removed"
finish
