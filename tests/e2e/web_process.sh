# The page's web process ends (killed, or ended by the engine after a redirect to file:): the
# gateway page is loaded again at once; ending again soon after shows the "not responding" page
# with its "Try again" button instead of a dead window.
. "$(dirname "$0")/lib.sh"

export E2E_LOG="$WORK/gateway.log" E2E_GATEWAY=redirect
B=$(bundle_with_gateway "$E2E_DIR/test_gateway.js")
start_app "$B"

# Each load of the page reports itself (a reload may come from the cache without asking for /).
pages() { grep -c '^request /loaded ' "$E2E_LOG"; }
more_pages_than() { [ "$(pages)" -gt "$1" ]; }
# A redirect to file: (after which the engine may end the page's process) leaves a live page.
wait_until 20 grep -q '^request /passwd ' "$E2E_LOG" || fail "the page never went to /passwd"
sleep 3
wait_until 15 menu_has 'Serving|true|false' && pass "the page lives on after a redirect to file:" || fail "tray: $(state_line)"

# A kill long after that reload: the page is loaded again, and the window is usable.
sleep 5
before=$(pages)
start=$(date +%s%N)
kill -KILL $(web_process)
wait_until 10 more_pages_than "$before" && pass "reloaded after a kill" || fail "no reload after a kill"
log "from the kill to the page loaded again: $(( ($(date +%s%N) - start) / 1000000 )) ms"

# Killed again at once: the status page with its button (blue #3b82f6) instead of a loop.
sleep 1
after=$(pages)
kill -KILL $(web_process)
sleep 3
[ "$(pages)" -eq "$after" ] && pass "no second reload" || fail "reloaded again"
offers_try_again && pass "the status page offers Try again" || fail "no Try again button"
menu_has 'Dralmik LLM Gateway|true|false' && pass "tray tells the page has no state" || fail "tray: $(state_line)"
alive "$APP_PID" || fail "application ended"
kill -TERM "$APP_PID"
wait_until 10 sh -c "! kill -0 $APP_PID 2>/dev/null" || fail "application still running"
for pid in $(own_processes); do kill -KILL "$pid" 2>/dev/null; done

# A redirect to data:, which the policy refuses after the engine committed an empty document:
# no blank window and no engine error page, but the status page with its button.
export E2E_LOG="$WORK/data.log" E2E_GATEWAY=dataredirect
start_app "$B"
wait_until 20 grep -q '^request /data ' "$E2E_LOG" || fail "the page never went to /data"
wait_until 5 offers_try_again && pass "a refused redirect shows the status page" || fail "no status page after the data: redirect"
finish
