# A gateway that exits before announcing its address: the failure page, whose "Try again" link
# starts it again. The link is reached from the keyboard (Tab, then Return) with the window
# focused, as a user without a pointer would.
. "$(dirname "$0")/lib.sh"

export E2E_LOG="$WORK/gateway.log" E2E_GATEWAY=fail
B=$(bundle_with_gateway "$E2E_DIR/test_gateway.js")
start_app "$B"

wait_until 20 window_visible || fail "no window"
wait_until 20 grep -q '^start ' "$E2E_LOG" || fail "gateway never started"
sleep 2
[ "$(grep -c '^start ' "$E2E_LOG")" -eq 1 ] || fail "gateway started more than once by itself"
alive "$APP_PID" && pass "application survives the failed start" || fail "application ended"
menu_has 'Starting|true|false' && pass "tray still says Starting" || fail "tray: $(state_line)"
deviation=$(screenshot "$WORK/failure.png")
awk "BEGIN { exit !($deviation > 0.01) }" || fail "failure page blank"

wid=$(xdotool search --onlyvisible --name "^$APP_NAME\$" | head -n1)
xdotool windowfocus --sync "$wid" 2>/dev/null
try_again() {
    xdotool key --window "$wid" --clearmodifiers Tab Return 2>/dev/null
    wait_until 3 test "$(grep -c '^start ' "$E2E_LOG")" -ge 2
}
# The page may take a moment to take keyboard focus.
if try_again || try_again || try_again; then pass "Try again starts the gateway again"; else
    fail "Try again did not start the gateway"; fi
finish
