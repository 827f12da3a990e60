# Pages that misbehave cannot overload the application or reach past it: a state of megabytes
# reaches the tray as one line, underscores stay underscores, hidden and disabled items do
# nothing, attachments are not saved, addresses with characters RFC 3986 rejects still load,
# frames cannot start gateways or open the browser without bound, and a SIGTERM to the
# application stops every gateway child it started.
. "$(dirname "$0")/lib.sh"

record_browser

export E2E_LOG="$WORK/gateway.log" E2E_GATEWAY=hostile
B=$(bundle_with_gateway "$E2E_DIR/test_gateway.js")
start_fake watcher "$WORK/watcher.log"  # a tray host: the hidden start keeps its window hidden
start_app "$B" --background

# dbusmenu doubles an underscore that is not a mnemonic: hosts show "ready_to_serve".
wait_until 20 menu_has 'ready__to__serve|true|false' && pass "underscores kept" || fail "state line: $(state_line)"
wait_until 10 grep -q '^request /logs?f=a|b^c ' "$E2E_LOG" && pass "a frame address with | and ^ loaded" ||
    fail "no request for /logs?f=a|b^c"
wait_until 10 grep -q '^request /octet ' "$E2E_LOG" || fail "the page never asked for the attachment"
menu_click 'Disconnect…'
menu_click 'Stop and Quit…'
sleep 1
if window_visible; then fail "a hidden or disabled item showed the window"; else pass "hidden and disabled items do nothing"; fi
saved=$(find "$HOME" "$WORK" -path "$HOME/.cache" -prune -o -type f \( -name 'saved*' -o -name '*octet*' -o -name 'download*' \) -print)
[ -z "$saved" ] && pass "nothing downloaded" || fail "downloaded: $saved"

# Six seconds in, the page's state becomes 20 MB of words between runs of white space, and its
# JSON.stringify answers with a state of 20 MB: the tray shows the state's first words as one cut
# line, and nothing of what the page did to JSON.
wait_until 10 grep -q '^request /big ' "$E2E_LOG" || fail "the page never grew its state"
flood_line="flood of state flood of state flood of state flood of state flood of state floo…"
if wait_until 10 menu_has "$flood_line|true|false"; then
    pass "a huge state is one cut line"
else
    fail "state line: $(state_line | cut -c1-100) ($(state_line | wc -m) characters)"
fi
log "application RSS with a 20 MB state: $(ps -o rss= -p "$APP_PID") KiB"
kill -TERM "$APP_PID"
wait_until 10 sh -c "! kill -0 $APP_PID 2>/dev/null" && pass "SIGTERM ends the application" || fail "still running after SIGTERM"
[ "$(grep -c '^sigterm$' "$E2E_LOG")" -eq 1 ] && pass "its gateway child got SIGTERM" || fail "gateway child not stopped"
for pid in $(own_processes); do kill -KILL "$pid" 2>/dev/null; done  # the test gateway outlives SIGTERM

# Frames: 30 at dralmik://retryN and 100 at an external address, on every load of the page.
export E2E_LOG="$WORK/frames.log" E2E_GATEWAY=frames
start_app "$B"
wait_until 20 grep -q '^request / ' "$E2E_LOG" || fail "the frames page never loaded"
sleep 6
starts=$(grep -c '^start ' "$E2E_LOG")
opened=$(wc -l < "$WORK/opened" 2>/dev/null || echo 0)
log "in 6 s: $starts gateway starts, $opened addresses handed to the browser"
[ "$starts" -le 8 ] && pass "restarts bounded ($starts)" || fail "$starts gateway starts"
[ "$opened" -le 8 ] && pass "browser hand-offs bounded ($opened)" || fail "$opened hand-offs"
running=$(for p in $(own_processes); do tr '\0' ' ' < "/proc/$p/cmdline" 2>/dev/null | grep -c 'main.js open --print'; done | grep -c 1)
kill -TERM "$APP_PID"
wait_until 10 sh -c "! kill -0 $APP_PID 2>/dev/null" || fail "frames app still running after SIGTERM"
sleep 0.5
[ "$(grep -c '^sigterm$' "$E2E_LOG")" -eq "$running" ] && pass "all $running running gateway children got SIGTERM" ||
    fail "$(grep -c '^sigterm$' "$E2E_LOG") of $running gateway children got SIGTERM"
finish
