# A page link to a non-local https address stays out of the window and goes to the desktop's
# default handler (here a private one that records what it was given).
. "$(dirname "$0")/lib.sh"

record_browser

export E2E_LOG="$WORK/gateway.log" E2E_GATEWAY=link
B=$(bundle_with_gateway "$E2E_DIR/test_gateway.js")
start_app "$B"

wait_until 20 grep -q '^request /clicked ' "$E2E_LOG" || fail "the page never followed its link"
if wait_until 10 grep -qxF 'https://example.invalid/outside?from=e2e' "$WORK/opened"; then
    pass "default handler got the address"; else fail "handler got: $(cat "$WORK/opened" 2>/dev/null)"; fi
# The window still shows the gateway's page: the probe still reads it.
wait_until 10 menu_has 'Serving|true|false' && pass "the page stayed in the window" || fail "page left: $(state_line)"
finish
