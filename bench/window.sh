#!/bin/sh
# Figures, not tests: the application beside a bare WebKitGTK window (bench/window/bare_window.c),
# both loading the same page from the same already running node server (bench/window/page_server.js),
# in one private display and session bus. One command each:
#
#   sh bench/window.sh launch [runs]     launch to the page's load event, median of runs (7),
#                                        the two sides alternated
#   sh bench/window.sh memory [runs]     PSS of each process tree once the page is up, and 30 s after
#                                        its window was closed with Ctrl+W, medians (5), with the
#                                        share of the program's own process (the UI process), and
#                                        the tree's private dirty memory at the same two moments
#   sh bench/window.sh flood [runs]      the application's UI process RSS after six probe rounds on a
#                                        page whose state text is 20 MB, against the plain page,
#                                        medians of runs (3) alternated
#   sh bench/window.sh idle [seconds]    CPU of each tree with the page shown, both side by side (120)
#   sh bench/window.sh soak [--minutes N]  each minute, the web process's private memory and CPU of
#                                        the application, the bare window, and the bare window
#                                        running the application's probe every 2 s (5 minutes)
#   sh bench/window.sh timeline [runs]   where a launch's time goes: each step both programs
#                                        write with DRALMIK_LAUNCH_TIMELINE set, and the server's
#                                        requests, as medians of runs (5) from the program's start
#   sh bench/window.sh processes [seconds]
#                                        both sides shown side by side: each process's PSS and
#                                        private memory, the libraries with most private dirty
#                                        memory, and each process's CPU ticks over seconds (60),
#                                        the tray host's (the stand-in desktop's) included
#   sh bench/window.sh all               launch (7), memory (5), flood (3) and idle (120 s) in one
#                                        run, with the ratios to the bare window
#
# The header names the machine's load and NODE_EXTRA_CA_CERTS, left as the machine has it (node
# reads that file at every start, the gateway's included).
#
# The load event is the page's fetch of /loaded, timed by the server; launch is timed from just
# before the program is started. The application's tree includes its short-lived gateway child
# (the bundled main.js `open --print`, which finds the server already running and prints its
# address); the server itself is in neither tree. BUILD names the build folder (build/).
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-"$ROOT/build"}

if [ "${DRALMIK_BENCH_INNER:-}" != 1 ]; then
    cmake -S "$ROOT" -B "$BUILD" >/dev/null
    cmake --build "$BUILD" -j2 --target dralmik_app dralmik_bundle_files dralmik_bare_window dralmik_print_probe >/dev/null
    export DRALMIK_BENCH_INNER=1 NO_AT_BRIDGE=1 BUILD
    # The figures go to descriptor 3; the private session's chatter to a log.
    exec 3>&1
    exec dbus-run-session -- xvfb-run -a -s "-screen 0 1280x1024x24" sh "$0" "$@" >"$BUILD/bench-window.log" 2>&1
fi

APP=${BENCH_APP:-"$BUILD/Dralmik LLM Gateway.app/Contents/MacOS/Dralmik LLM Gateway"}
NODE="$BUILD/Dralmik LLM Gateway.app/Contents/Resources/runtime/node"
BARE="$BUILD/bench/dralmik_bare_window"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/dralmik-bench.XXXXXX")
mkdir -p "$WORK/home" "$WORK/config" "$WORK/data" "$WORK/runtime" "$WORK/gateway-home"
chmod 700 "$WORK/runtime"
export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data"
export XDG_RUNTIME_DIR="$WORK/runtime" DRALMIK_HOME="$WORK/gateway-home" BENCH_TIMES="$WORK/times"
export BENCH_FLOOD_FILE="$WORK/flood"
"$BUILD/bench/dralmik_print_probe" > "$WORK/probe.js"
: > "$BENCH_TIMES"
"$NODE" "$ROOT/bench/window/page_server.js" > "$WORK/server.out" &
SERVER=$!
# A tray host, as a desktop has: closing the application's window then hides it (with nothing
# to show its tray item, the window would only be minimised, to keep the application in reach).
/usr/bin/python3 "$ROOT/tests/e2e/fake_desktop.py" watcher "$WORK/watcher.log" > "$WORK/watcher.out" 2>&1 &
WATCHER=$!
RUNNING=""

say() { printf '%s\n' "$*" >&3; }
say "load average$(uptime | sed 's/.*load average//'); NODE_EXTRA_CA_CERTS=${NODE_EXTRA_CA_CERTS-(unset)}"

descendants() {  # descendants PID: PID and every process under it
    echo "$1"
    for child in $(cat /proc/[0-9]*/stat 2>/dev/null | awk -v p="$1" '$4 == p { print $1 }'); do descendants "$child"; done
}
stop_tree() {
    pids=$(descendants "$1")
    kill -TERM $pids 2>/dev/null || true
    i=0
    while kill -0 "$1" 2>/dev/null && [ $i -lt 25 ]; do sleep 0.2; i=$((i + 1)); done
    kill -KILL $pids 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}
cleanup() {
    for pid in $RUNNING; do stop_tree "$pid"; done
    kill "$SERVER" "$WATCHER" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

i=0
while [ ! -s "$WORK/server.out" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
i=0
while ! grep -qx ready "$WORK/watcher.out" 2>/dev/null && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
URL=$(head -n1 "$WORK/server.out")

start() {  # start app|bare|probe: starts that side; sets PID
    case $1 in
        app) "$APP" >>"$WORK/app.log" 2>&1 & ;;
        bare) "$BARE" "$URL" >>"$WORK/bare.log" 2>&1 & ;;
        probe) "$BARE" "$URL" "$WORK/probe.js" >>"$WORK/bare.log" 2>&1 & ;;
    esac
    PID=$!
    RUNNING="$RUNNING $PID"
}
finish() {  # finish PID
    stop_tree "$1"
    RUNNING=$(echo "$RUNNING" | tr ' ' '\n' | grep -vx "$1" | tr '\n' ' ')
}
loads() { grep -c '^loaded ' "$BENCH_TIMES" || true; }
wait_load() {  # wait_load COUNT: waits until COUNT loads are recorded; prints the last one's time
    # The server times the load; looking for it seldom leaves the launch the machine's CPU.
    i=0
    while [ "$(loads)" -lt "$1" ]; do
        i=$((i + 1)); [ $i -gt 60 ] && { say "the page never loaded"; exit 1; }
        sleep 0.25
    done
    sed -n 's/^loaded //p' "$BENCH_TIMES" | tail -n1
}
# PSS splits each shared page among every process on the machine that maps it, so another
# program mapping the same libraries (another copy, a desktop under test) lowers it, and the
# same sharing turns a library's clean pages from private into shared. The pages a tree has
# written (its heaps, the libraries' relocated data) are its own whatever else runs: that
# figure tells two builds apart on a busy machine.
tree_dirty_kb() { for p in $(descendants "$1"); do cat "/proc/$p/smaps_rollup" 2>/dev/null; done | awk '/^Private_Dirty:/ { s += $2 } END { print s + 0 }'; }
pss_kb() { for p in $(descendants "$1"); do cat "/proc/$p/smaps_rollup" 2>/dev/null; done | awk '/^Pss:/ { s += $2 } END { print s + 0 }'; }
own_pss_kb() { awk '/^Pss:/ { print $2 }' "/proc/$1/smaps_rollup" 2>/dev/null; }
rss_kb() { awk '/^Rss:/ { print $2 }' "/proc/$1/smaps_rollup" 2>/dev/null; }
ticks() { for p in $(descendants "$1"); do cat "/proc/$p/stat" 2>/dev/null; done | sed 's/.*) //' | awk '{ s += $12 + $13 } END { print s + 0 }'; }
web_process() { for p in $(descendants "$1"); do [ "$(cat "/proc/$p/comm" 2>/dev/null)" = WebKitWebProces ] && echo "$p"; done | head -n1; }
private_kb() { awk '/^Private_(Clean|Dirty):/ { s += $2 } END { print s + 0 }' "/proc/$1/smaps_rollup" 2>/dev/null; }
pticks() { sed 's/.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'; }
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) exit; if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
HZ=$(getconf CLK_TCK)

# One launch of SIDE: prints its milliseconds to the load event, its tree's PSS in kB SETTLE
# seconds later, and with HIDDEN its tree's PSS in kB HIDDEN seconds after Ctrl+W closed its
# window, then the program's own process's PSS at the same two moments, then the tree's private
# dirty memory in kB at the same two moments (each 0 when not asked for).
launch_once() {
    n=$(loads)
    t0=$(date +%s%3N)
    start "$1"
    loaded=$(wait_load $((n + 1)))
    echo "$t0 $loaded" > "$WORK/last.launch"
    pss=0; hidden=0; own=0; ownhidden=0; private=0; privatehidden=0
    if [ "$2" -gt 0 ]; then sleep "$2"; pss=$(pss_kb "$PID"); own=$(own_pss_kb "$PID"); private=$(tree_dirty_kb "$PID"); fi
    if [ "${3:-0}" -gt 0 ]; then
        close_window "$PID"; sleep "$3"
        hidden=$(pss_kb "$PID"); ownhidden=$(own_pss_kb "$PID"); privatehidden=$(tree_dirty_kb "$PID")
    fi
    finish "$PID"
    sleep 1
    # Where the time went: the gateway's check of the running service, the page's request.
    steps=$(awk -v t0="$t0" -v l="$loaded" '$1 == "request" && $3 >= t0 && $3 <= l { printf " %s +%d", $2, $3 - t0 }' "$BENCH_TIMES")
    echo "$((loaded - t0)) $pss $hidden $own $ownhidden $private $privatehidden$steps"
}

# Closes the window of process PID with Ctrl+W, as a user does, and waits until it is unmapped.
close_window() {
    wid=$(xdotool search --sync --onlyvisible --pid "$1" 2>/dev/null | head -n1)
    [ -n "$wid" ] || { say "no window to close"; exit 1; }
    xdotool windowfocus --sync "$wid" key --clearmodifiers ctrl+w 2>/dev/null
    i=0
    while xdotool search --onlyvisible --pid "$1" >/dev/null 2>&1; do
        i=$((i + 1)); [ $i -gt 50 ] && { say "Ctrl+W did not close the window"; exit 1; }
        sleep 0.1
    done
}

alternate() {  # alternate RUNS SETTLE [HIDDEN]: fills $WORK/app.runs and $WORK/bare.runs
    : > "$WORK/app.runs"; : > "$WORK/bare.runs"
    launch_once app 0 >/dev/null; launch_once bare 0 >/dev/null  # warm the caches, not counted
    for run in $(seq "$1"); do
        if [ $((run % 2)) -eq 1 ]; then order="app bare"; else order="bare app"; fi
        for side in $order; do
            r=$(launch_once "$side" "$2" "${3:-0}")
            echo "$r" >> "$WORK/$side.runs"
            say "  run $run $side: $(echo "$r" | awk '{ printf "%d ms", $1; for (i = 8; i < NF; i += 2) printf ", %s %s", $i, $(i + 1); if ($2 > 0) printf ", PSS %.1f MB (own %.1f, dirty %.1f)", $2 / 1024, $4 / 1024, $6 / 1024; if ($3 > 0) printf ", hidden %.1f MB (own %.1f, dirty %.1f)", $3 / 1024, $5 / 1024, $7 / 1024 }')"
        done
    done
}

ratio() { echo "$1 $2" | awk '{ if ($2 > 0) printf "%.3f", $1 / $2; else print "n/a" }'; }
mb() { echo "$1" | awk '{ printf "%.1f", $1 / 1024 }'; }

bench_launch() {  # bench_launch RUNS
    alternate "$1" 0
    a=$(cut -d' ' -f1 "$WORK/app.runs" | median); b=$(cut -d' ' -f1 "$WORK/bare.runs" | median)
    say "launch to load event, median of $1: application $a ms, bare window $b ms, ratio $(ratio "$a" "$b")"
}

bench_memory() {  # bench_memory RUNS
    alternate "$1" 3 30
    a=$(cut -d' ' -f2 "$WORK/app.runs" | median); b=$(cut -d' ' -f2 "$WORK/bare.runs" | median)
    ua=$(cut -d' ' -f4 "$WORK/app.runs" | median); ub=$(cut -d' ' -f4 "$WORK/bare.runs" | median)
    say "PSS of the process tree 3 s after load, median of $1: application $(mb "$a") MB, bare window $(mb "$b") MB, ratio $(ratio "$a" "$b")"
    say "  the UI process's share: application $(mb "$ua") MB, bare window $(mb "$ub") MB, ratio $(ratio "$ua" "$ub")"
    a=$(cut -d' ' -f3 "$WORK/app.runs" | median); b=$(cut -d' ' -f3 "$WORK/bare.runs" | median)
    ua=$(cut -d' ' -f5 "$WORK/app.runs" | median); ub=$(cut -d' ' -f5 "$WORK/bare.runs" | median)
    say "PSS of the process tree 30 s after Ctrl+W closed the window, median of $1: application $(mb "$a") MB, bare window $(mb "$b") MB, ratio $(ratio "$a" "$b")"
    say "  the UI process's share: application $(mb "$ua") MB, bare window $(mb "$ub") MB, ratio $(ratio "$ua" "$ub")"
    for moment in 6:"3 s after load" 7:"30 s after Ctrl+W"; do
        a=$(cut -d' ' -f"${moment%%:*}" "$WORK/app.runs" | median); b=$(cut -d' ' -f"${moment%%:*}" "$WORK/bare.runs" | median)
        say "private dirty memory of the process tree ${moment#*:}, median of $1: application $(mb "$a") MB, bare window $(mb "$b") MB, ratio $(ratio "$a" "$b")"
    done
}

# The application's UI process RSS in kB after six probe rounds on the page, plain or (with
# flood) with a state text of 20 MB.
flood_once() {
    if [ "$1" = flood ]; then : > "$BENCH_FLOOD_FILE"; else rm -f "$BENCH_FLOOD_FILE"; fi
    n=$(loads)
    start app
    wait_load $((n + 1)) >/dev/null
    sleep 12
    rss=$(rss_kb "$PID")
    finish "$PID"
    rm -f "$BENCH_FLOOD_FILE"
    sleep 1
    echo "$rss"
}

bench_flood() {  # bench_flood RUNS
    : > "$WORK/plain.rss"; : > "$WORK/flood.rss"
    for run in $(seq "$1"); do
        if [ $((run % 2)) -eq 1 ]; then order="plain flood"; else order="flood plain"; fi
        for page in $order; do
            r=$(flood_once "$page")
            echo "$r" >> "$WORK/$page.rss"
            say "  run $run $page page: UI process RSS $(mb "$r") MB"
        done
    done
    p=$(median < "$WORK/plain.rss"); f=$(median < "$WORK/flood.rss")
    say "UI process RSS after six probe rounds, median of $1: plain page $(mb "$p") MB, 20 MB state $(mb "$f") MB, flood $(echo "$f $p" | awk '{ printf "%+.1f", ($1 - $2) / 1024 }') MB"
}

bench_idle() {  # bench_idle SECONDS
    seconds=$1
    start app; app=$PID; wait_load 1 >/dev/null
    start bare; bare=$PID; wait_load 2 >/dev/null
    sleep 10
    a0=$(ticks "$app"); b0=$(ticks "$bare"); sleep "$seconds"; a1=$(ticks "$app"); b1=$(ticks "$bare")
    pa=$(echo "$a0 $a1" | awk -v hz="$HZ" -v s="$seconds" '{ printf "%.3f", ($2 - $1) / hz / s * 100 }')
    pb=$(echo "$b0 $b1" | awk -v hz="$HZ" -v s="$seconds" '{ printf "%.3f", ($2 - $1) / hz / s * 100 }')
    say "idle CPU over $seconds s, page shown, whole tree: application $pa% of a core, bare window $pb%, ratio $(echo "$pa $pb" | awk '{ if ($2 > 0) printf "%.2f", $1 / $2; else print "n/a (bare window used no ticks)" }')"
    finish "$app"; finish "$bare"
}

# PID's libraries with most private dirty memory, in kB: "name kB" lines.
private_libraries() {
    awk '/^[0-9a-f]+-[0-9a-f]+ / { lib = (NF >= 6) ? $6 : "[anon]"; sub(".*/", "", lib) }
         /^Private_Dirty:/ { d[lib] += $2 }
         END { for (l in d) if (d[l] >= 256) print l, d[l] }' "/proc/$1/smaps" 2>/dev/null | sort -k2 -nr | head -n 8
}

bench_processes() {  # bench_processes SECONDS
    seconds=$1
    start app; app=$PID; wait_load 1 >/dev/null
    start bare; bare=$PID; wait_load 2 >/dev/null
    sleep 10
    for side in app bare; do
        eval root=\$$side
        for p in $(descendants "$root"); do
            [ -r "/proc/$p/smaps_rollup" ] || continue
            say "$side $p $(cat "/proc/$p/comm"): PSS $(mb "$(own_pss_kb "$p")") MB, private $(mb "$(private_kb "$p")") MB;" \
                "private dirty by library (kB): $(private_libraries "$p" | tr '\n' ' ')"
            echo "$side $p $(pticks "$p")" >> "$WORK/ticks0"
        done
    done
    echo "host $WATCHER $(pticks "$WATCHER")" >> "$WORK/ticks0"
    sleep "$seconds"
    while read -r side p t0; do
        t1=$(pticks "$p" 2>/dev/null || echo "$t0")
        say "$side $p $(cat "/proc/$p/comm" 2>/dev/null): $((t1 - t0)) ticks over $seconds s" \
            "($(echo "$t0 $t1" | awk -v hz="$HZ" -v s="$seconds" '{ printf "%.3f", ($2 - $1) / hz / s * 100 }')% of a core)"
    done < "$WORK/ticks0"
    finish "$app"; finish "$bare"
}

case ${1:-} in
processes) bench_processes "${2:-60}" ;;
launch) bench_launch "${2:-7}" ;;
memory) bench_memory "${2:-5}" ;;
flood) bench_flood "${2:-3}" ;;
idle) bench_idle "${2:-120}" ;;
all)
    bench_launch 7
    bench_memory 5
    bench_flood 3
    bench_idle 120
    ;;
timeline)
    export DRALMIK_LAUNCH_TIMELINE=1
    runs=${2:-5}
    launch_once app 0 >/dev/null; launch_once bare 0 >/dev/null  # warm the caches, not counted
    : > "$WORK/app.steps"; : > "$WORK/bare.steps"
    for run in $(seq "$runs"); do
        for side in app bare; do
            : > "$WORK/$side.log"
            launch_once "$side" 0 >/dev/null
            read -r t0 loaded < "$WORK/last.launch"
            awk -v t0="$t0" '$1 == "launch-step" { name = $4; for (i = 5; i <= NF; i++) name = name " " $i; printf "%s\t%d\t%d\n", name, $2 - t0, $3 }' "$WORK/$side.log" >> "$WORK/$side.steps"
            awk -v t0="$t0" -v l="$loaded" '$1 == "request" && $3 >= t0 && $3 <= l { printf "server: request %s\t%d\t\n", $2, $3 - t0 }
                $1 == "loaded" && $2 == l { printf "server: load event\t%d\t\n", $2 - t0 }' "$BENCH_TIMES" >> "$WORK/$side.steps"
        done
    done
    say "medians of $runs launches: ms from just before the program starts, and the CPU ms its own process has used"
    for side in app bare; do
        if [ $side = app ]; then say "application:"; else say "bare window:"; fi
        cut -f1 "$WORK/$side.steps" | awk '!seen[$0]++' | while IFS= read -r name; do
            at=$(awk -F '\t' -v n="$name" '$1 == n { print $2 }' "$WORK/$side.steps" | median)
            cpu=$(awk -F '\t' -v n="$name" '$1 == n && $3 != "" { print $3 }' "$WORK/$side.steps" | median)
            printf '%s|%s|%s\n' "$at" "${cpu:+CPU $cpu}" "$name"
        done | sort -n -s -t'|' -k1,1 | while IFS='|' read -r at cpu name; do say "$(printf '  %6s  %-8s  %s' "$at" "$cpu" "$name")"; done
    done
    ;;
soak)
    minutes=5
    [ "${2:-}" = --minutes ] && minutes=${3:?--minutes N}
    start app; app=$PID; wait_load 1 >/dev/null
    start bare; bare=$PID; wait_load 2 >/dev/null
    start probe; probe=$PID; wait_load 3 >/dev/null
    sleep 10
    wa=$(web_process "$app"); wb=$(web_process "$bare"); wp=$(web_process "$probe")
    say "web process private memory (MB) and CPU of the last minute (% of a core), each minute"
    say "$(printf '%4s  %18s  %18s  %18s' min application 'bare window' 'bare + probe')"
    ta=$(pticks "$wa"); tb=$(pticks "$wb"); tp=$(pticks "$wp")
    ma0=$(private_kb "$wa"); mb0=$(private_kb "$wb"); mp0=$(private_kb "$wp")
    row() {
        printf '%4s  %9.1f %6.3f%%  %9.1f %6.3f%%  %9.1f %6.3f%%\n' "$1" \
            "$(echo "$2" | awk '{ print $1 / 1024 }')" "$3" "$(echo "$4" | awk '{ print $1 / 1024 }')" "$5" \
            "$(echo "$6" | awk '{ print $1 / 1024 }')" "$7" >&3
    }
    row 0 "$ma0" 0 "$mb0" 0 "$mp0" 0
    : > "$WORK/soak.rows"
    for m in $(seq "$minutes"); do
        sleep 60
        na=$(pticks "$wa"); nb=$(pticks "$wb"); np=$(pticks "$wp")
        cpu() { echo "$1 $2" | awk -v hz="$HZ" '{ print ($2 - $1) / hz / 60 * 100 }'; }
        row "$m" "$(private_kb "$wa")" "$(cpu "$ta" "$na")" "$(private_kb "$wb")" "$(cpu "$tb" "$nb")" \
            "$(private_kb "$wp")" "$(cpu "$tp" "$np")"
        ta=$na; tb=$nb; tp=$np
        echo "$m $(private_kb "$wa") $(private_kb "$wb") $(private_kb "$wp")" >> "$WORK/soak.rows"
    done
    # A fresh page settles for a minute or two; the slope from minute 2 on is the steady one.
    if [ "$minutes" -ge 4 ]; then
        say "$(awk -v n="$minutes" '$1 == 2 { a = $2; b = $3; p = $4 } $1 == n { printf "growth from minute 2 to %d (MB an hour at that slope): application %+.1f, bare window %+.1f, bare + probe %+.1f", n, ($2 - a) / 1024 * 60 / (n - 2), ($3 - b) / 1024 * 60 / (n - 2), ($4 - p) / 1024 * 60 / (n - 2) }' "$WORK/soak.rows")"
    fi
    ma1=$(private_kb "$wa"); mb1=$(private_kb "$wb"); mp1=$(private_kb "$wp")
    say "growth over $minutes min (MB; per hour at that slope): application $(echo "$ma0 $ma1 $minutes" | awk '{ printf "%+.1f (%+.1f)", ($2 - $1) / 1024, ($2 - $1) / 1024 * 60 / $3 }'), bare window $(echo "$mb0 $mb1 $minutes" | awk '{ printf "%+.1f (%+.1f)", ($2 - $1) / 1024, ($2 - $1) / 1024 * 60 / $3 }'), bare + probe $(echo "$mp0 $mp1 $minutes" | awk '{ printf "%+.1f (%+.1f)", ($2 - $1) / 1024, ($2 - $1) / 1024 * 60 / $3 }')"
    ;;
*)
    say "usage: sh bench/window.sh launch [runs] | memory [runs] | flood [runs] | idle [seconds] | soak [--minutes N] | timeline [runs] | all"
    exit 2
    ;;
esac
