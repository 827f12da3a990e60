# A page link to a non-local https address stays out of the window and goes to the desktop's
# default handler (here a private one that records what it was given). The web engine's settings
# reach the web process alone: the gateway and the opened program get the environment the
# application was started with, in which the user's own value of one of them is kept.
. "$(dirname "$0")/lib.sh"

record_browser

export E2E_LOG="$WORK/gateway.log" E2E_GATEWAY=link
B=$(bundle_with_gateway "$E2E_DIR/test_gateway.js")
export JSC_percentCPUPerMBForEdenTimer=0.5  # the user's own value
start_app "$B"

wait_until 20 grep -q '^request /clicked ' "$E2E_LOG" || fail "the page never followed its link"
if wait_until 10 grep -qxF 'https://example.invalid/outside?from=e2e' "$WORK/opened"; then
    pass "default handler got the address"; else fail "handler got: $(cat "$WORK/opened" 2>/dev/null)"; fi
gateway=$(for pid in $(own_processes); do { tr '\0' ' ' < "/proc/$pid/cmdline"; } 2>/dev/null | grep -q 'main.js open --print' && echo "$pid"; done | head -n1)
web=$(web_process | head -n1)
if [ -n "$gateway" ] && [ -n "$web" ] && ! environ_value "$gateway" Malloc >/dev/null &&
    [ "$(environ_value "$gateway" JSC_percentCPUPerMBForEdenTimer)" = 0.5 ] && [ "$(environ_value "$web" Malloc)" = 1 ] &&
    [ "$(environ_value "$web" JSC_percentCPUPerMBForEdenTimer)" = 0.5 ]; then
    pass "the engine's settings reach the web process, not the gateway"
else
    fail "gateway $gateway: $(environ_value "$gateway" Malloc) $(environ_value "$gateway" JSC_percentCPUPerMBForEdenTimer), web $web: $(environ_value "$web" Malloc) $(environ_value "$web" JSC_percentCPUPerMBForEdenTimer)"
fi
if ! grep -q '^Malloc=' "$WORK/opened.env" && grep -qx 'JSC_percentCPUPerMBForEdenTimer=0.5' "$WORK/opened.env"; then
    pass "the opened program gets the application's own environment"; else fail "opened program's environment: $(grep -e Malloc -e JSC_ "$WORK/opened.env")"; fi
# The window still shows the gateway's page: the probe still reads it.
wait_until 10 menu_has 'Serving|true|false' && pass "the page stayed in the window" || fail "page left: $(state_line)"
finish
