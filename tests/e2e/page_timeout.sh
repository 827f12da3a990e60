# A gateway that accepts the page's connection and never answers. The page's process ending
# while it waits makes the page be asked for again (not the blank page shown before it); 60
# seconds after that request the load gives up and the window shows the "not responding" page
# with its "Try again" button.
. "$(dirname "$0")/lib.sh"

export E2E_LOG="$WORK/gateway.log" E2E_GATEWAY=silent
B=$(bundle_with_gateway "$E2E_DIR/test_gateway.js")
start_app "$B"

requested_twice() { [ "$(grep -c '^request / ' "$E2E_LOG")" -ge 2 ]; }
wait_until 20 grep -q '^request / ' "$E2E_LOG" || fail "the page was never requested"
kill -KILL $(web_process)
wait_until 10 requested_twice && pass "asked again after its process ended" || fail "not asked again after a kill"
asked=$(date +%s)
sleep 50
offers_try_again && fail "gave up before the time limit"
if wait_until 20 offers_try_again; then
    pass "gave up after $(( $(date +%s) - asked )) s with the status page"
else
    fail "still waiting after $(( $(date +%s) - asked )) s"
fi
wait_until 5 grep -q '^aborted /' "$E2E_LOG" && pass "the request was dropped" || fail "the request is still open"
finish
