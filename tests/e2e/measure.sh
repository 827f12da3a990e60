# Figures, not a test: time from launch to the gateway page's load event, and the memory of
# the application's processes once the page is up. Run as
#   dbus-run-session -- xvfb-run -a -s "-screen 0 1280x1024x24" sh measure.sh <bundle> [runs]
. "$(dirname "$0")/lib.sh"

RUNS=${2:-3}
export E2E_LOG="$WORK/gateway.log" E2E_TIMES="$WORK/times"
B=$(bundle_with_gateway "$E2E_DIR/test_gateway.js")

memory() {  # memory PID: "name rss_kB pss_kB"
    name=$(tr " " _ < "/proc/$1/comm")
    awk -v n="$name" '/^Rss:/ { r = $2 } /^Pss:/ { p = $2 } END { printf "%s %d %d\n", n, r, p }' "/proc/$1/smaps_rollup"
}

for run in $(seq "$RUNS"); do
    : > "$E2E_TIMES"
    t0=$(date +%s%3N)
    start_app "$B"
    wait_until 30 grep -q '^request /loaded ' "$E2E_TIMES" || { fail "run $run: page never loaded"; break; }
    loaded=$(sed -n 's|^request /loaded ||p' "$E2E_TIMES" | head -n1)
    requested=$(sed -n 's|^request / ||p' "$E2E_TIMES" | head -n1)
    log "run $run: launch -> page requested $((requested - t0)) ms, -> load event $((loaded - t0)) ms"
    if [ "$run" -eq "$RUNS" ]; then
        sleep 3
        for pid in $APP_PID $(pgrep -P "$APP_PID"); do memory "$pid"; done |
            awk '{ printf "  %-24s RSS %7.1f MB  PSS %7.1f MB\n", $1, $2 / 1024, $3 / 1024 }' >&2
    fi
    kill "$APP_PID"; wait "$APP_PID" 2>/dev/null
    for pid in $(own_processes); do kill "$pid" 2>/dev/null; done
    sleep 1
done
finish
