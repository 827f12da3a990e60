#!/bin/bash
# Usage: helper_cli_test.sh <path to dralmik-helper> <group>
# Each case builds a fresh bundle under a temporary folder, runs a copy of the tool there (a
# copy, not a link: the tool finds its bundle from the file it runs as) and checks the record
# the stand-in runtime leaves behind.
set -u
tool_built=$1
group=$2
failures=0
umask 022

root=$(mktemp -d)
root=$(cd "$root" && pwd -P)
trap 'rm -rf "$root"' EXIT

check() {  # check <description> <command...>
    local what=$1; shift
    if ! "$@"; then
        echo "FAIL [$case_name] $what" >&2
        failures=$((failures + 1))
    fi
}
equals() {
    [ "$1" = "$2" ] && return 0
    printf '  got:      %q\n  expected: %q\n' "$1" "$2" >&2
    return 1
}

# A fresh case folder: $case_dir/X.app is the bundle, $case_dir/home the user's home,
# $case_dir/record what the runtime saw (absent when it never ran).
new_case() {
    case_name=$1
    case_dir=$root/$case_name
    bundle=$case_dir/X.app
    resources=$bundle/Contents/Resources
    runtime=$resources/runtime/node
    tool=$bundle/Contents/MacOS/dralmik-helper
    mkdir -p "$bundle/Contents/MacOS" "$resources/runtime" "$resources/app/dist" "$case_dir/home"
    cp "$tool_built" "$tool"
    echo "// stand-in" >"$resources/app/dist/main.js"
    cat >"$runtime" <<'SH'
#!/bin/sh
{
    echo "argc=$#"
    echo "arg0=$0"
    for a in "$@"; do echo "arg=$a"; done
    echo "cwd=$(pwd -P)"
    if [ "${DRALMIK_HOME+set}" = set ]; then echo "home=$DRALMIK_HOME"; else echo "home unset"; fi
    echo "pid=$$"
    echo "ppid=$PPID"
    echo "marker=${HELPER_MARKER-}"
    if read -r line; then echo "stdin=$line"; fi
} >"$NODE_RECORD"
echo "gateway out $2"
echo "gateway err $2" >&2
exit "${NODE_STATUS:-0}"
SH
    chmod 755 "$runtime"
    export HOME=$case_dir/home NODE_RECORD=$case_dir/record HELPER_MARKER=inherited
    unset DRALMIK_HOME NODE_STATUS
    default_home="$HOME/Library/Application Support/Dralmik Gateway"
}

# run_tool <args...>: runs the tool from $case_dir with no standard input; sets $status,
# $out and $err.
run_tool() {
    (cd "$case_dir" && "$tool" "$@" </dev/null >"$case_dir/out" 2>"$case_dir/err")
    status=$?
    out=$(cat "$case_dir/out")
    err=$(cat "$case_dir/err")
}

recorded() { sed -n "s/^$1=//p" "$NODE_RECORD" | paste -sd' ' -; }
ran() { [ -f "$NODE_RECORD" ]; }
not_ran() { [ ! -e "$NODE_RECORD" ]; }
# Nothing but the prepared bundle and the empty user home: the tool touched no disk.
untouched() {
    local found
    found=$(cd "$case_dir" && find . -path ./X.app -prune -o -print | sort | paste -sd' ' -)
    equals "$found" ". ./err ./home ./out"
}

group_usage() {
    local args word
    local usage_cases=("" "run" "run gateway extra" "run remote gateway extra" "RUN gateway"
                       "start gateway" "gateway run")
    for args in "${usage_cases[@]}"; do
        new_case "usage-$(echo "$args" | tr ' ' _)"
        export DRALMIK_HOME=$case_dir/gw
        run_tool $args   # split into words on purpose
        check "status" equals "$status" 1
        check "message" equals "$err" "usage: dralmik-helper run gateway|remote"
        check "stdout empty" equals "$out" ""
        check "runtime not run" not_ran
        check "nothing created" untouched
    done

    # DRALMIK_HOME unset here: not even the default home may appear.
    local unknown_words=("Gateway" "start" "REMOTE" "" "gateway " "gateway.log")
    for word in "${unknown_words[@]}"; do
        new_case "unknown-$(echo "${word:-empty}" | tr ' .' _)"
        run_tool run "$word"
        check "status" equals "$status" 1
        check "message" equals "$err" "unknown mode $word"
        check "runtime not run" not_ran
        check "nothing created" untouched
    done
}

group_modes() {
    local pairs="gateway:start remote:remote" pair word command
    for pair in $pairs; do
        word=${pair%%:*} command=${pair#*:}
        new_case "mode-$word-default-home"
        run_tool run "$word"
        check "status" equals "$status" 0
        check "tool silent" equals "$out$err" ""
        check "ran" ran
        check "three arguments" equals "$(recorded argc)" 2
        check "runtime path as argv[0]" equals "$(recorded arg0)" "$runtime"
        check "script and command" equals "$(recorded arg)" "$resources/app/dist/main.js $command"
        check "working directory" equals "$(recorded cwd)" "$default_home"
        check "DRALMIK_HOME given" equals "$(recorded home)" "$default_home"
        check "environment inherited" equals "$(recorded marker)" inherited
        check "log written" equals "$(cat "$default_home/logs/$word.log")" \
            "$(printf 'gateway out %s\ngateway err %s' "$command" "$command")"
        check "only this mode's log" equals "$(ls "$default_home/logs")" "$word.log"
        check "log mode" equals "$(stat -c %a "$default_home/logs/$word.log")" 644

        new_case "mode-$word-set-home"
        export DRALMIK_HOME="$case_dir/my home"
        run_tool run "$word"
        check "status" equals "$status" 0
        check "working directory" equals "$(recorded cwd)" "$DRALMIK_HOME"
        check "DRALMIK_HOME kept" equals "$(recorded home)" "$DRALMIK_HOME"
        check "default home unused" equals "$(ls -A "$HOME")" ""
        check "log written" equals "$(head -1 "$DRALMIK_HOME/logs/$word.log")" \
            "gateway out $command"
    done
}

group_home() {
    new_case "home-empty"
    export DRALMIK_HOME=
    local root_logs_before=no
    [ -e /logs ] && root_logs_before=yes
    run_tool run gateway
    check "status" equals "$status" 1
    check "message" equals "$err" "cannot open "
    check "runtime not run" not_ran
    check "default home unused" equals "$(ls -A "$HOME")" ""
    if [ $root_logs_before = no ]; then
        check "no /logs at the root" test ! -e /logs
        rmdir /logs 2>/dev/null
    fi

    new_case "home-is-a-file"
    export DRALMIK_HOME=$case_dir/plain
    echo x >"$DRALMIK_HOME"
    run_tool run remote
    check "status" equals "$status" 1
    check "message" equals "$err" "cannot open $DRALMIK_HOME"
    check "runtime not run" not_ran

    # The log folder is made relative to the starting folder, the log file opened relative to
    # the home itself, where no logs folder exists: the output is not redirected.
    new_case "home-relative"
    export DRALMIK_HOME=rel/gw
    run_tool run gateway
    check "status" equals "$status" 0
    check "working directory" equals "$(recorded cwd)" "$case_dir/rel/gw"
    check "DRALMIK_HOME verbatim" equals "$(recorded home)" rel/gw
    check "log folder made from the start" test -d "$case_dir/rel/gw/logs"
    check "log folder empty" equals "$(ls -A "$case_dir/rel/gw/logs")" ""
    check "output on the tool's stdout" equals "$out" "gateway out start"
    check "output on the tool's stderr" equals "$err" "gateway err start"

    # ...and when that second logs folder does exist, the log lands there.
    new_case "home-relative-nested-logs"
    export DRALMIK_HOME=rel
    mkdir -p "$case_dir/rel/rel/logs"
    run_tool run remote
    check "status" equals "$status" 0
    check "log inside home" equals "$(head -1 "$case_dir/rel/rel/logs/remote.log")" \
        "gateway out remote"
}

group_logs() {
    new_case "logs-append"
    export DRALMIK_HOME=$case_dir/gw
    mkdir -p "$DRALMIK_HOME/logs"
    echo "earlier" >"$DRALMIK_HOME/logs/gateway.log"
    run_tool run gateway
    run_tool run gateway
    check "status" equals "$status" 0
    check "appended, never truncated" equals "$(cat "$DRALMIK_HOME/logs/gateway.log")" \
        "$(printf 'earlier\n%s\n%s\n%s\n%s' "gateway out start" "gateway err start" \
                                             "gateway out start" "gateway err start")"

    new_case "logs-unopenable"
    export DRALMIK_HOME=$case_dir/gw
    mkdir -p "$DRALMIK_HOME/logs/gateway.log"
    run_tool run gateway
    check "status" equals "$status" 0
    check "ran" ran
    check "stdout stays" equals "$out" "gateway out start"
    check "stderr stays" equals "$err" "gateway err start"

    # With standard output closed the log file takes descriptor 1; it must still end up as
    # both standard output and standard error of the gateway.
    new_case "logs-stdout-closed"
    export DRALMIK_HOME=$case_dir/gw
    (cd "$case_dir" && "$tool" run gateway </dev/null >&- 2>"$case_dir/err")
    check "status" equals "$?" 0
    check "both lines in the log" equals "$(cat "$DRALMIK_HOME/logs/gateway.log")" \
        "$(printf 'gateway out start\ngateway err start')"

    new_case "logs-runtime-missing"
    export DRALMIK_HOME=$case_dir/gw
    rm "$runtime"
    run_tool run gateway
    check "status" equals "$status" 1
    check "tool's stderr quiet" equals "$err" ""
    check "message in the log" equals "$(cat "$DRALMIK_HOME/logs/gateway.log")" \
        "cannot start $runtime"

    new_case "logs-runtime-not-executable"
    export DRALMIK_HOME=$case_dir/gw
    chmod 644 "$runtime"
    mkdir -p "$DRALMIK_HOME/logs/remote.log"   # not openable: the message stays on stderr
    run_tool run remote
    check "status" equals "$status" 1
    check "message on stderr" equals "$err" "cannot start $runtime"
    check "runtime not run" not_ran
}

group_process() {
    new_case "process-identity"
    export DRALMIK_HOME=$case_dir/gw
    # The shell prints its pid and parent, then becomes the tool, which becomes the runtime.
    local ids
    ids=$(cd "$case_dir" &&
          echo "from stdin" | sh -c 'echo "$$ $PPID"; exec "$1" run gateway' sh "$tool")
    check "status" equals "$?" 0
    check "same pid" equals "$(recorded pid)" "${ids% *}"
    check "same parent" equals "$(recorded ppid)" "${ids#* }"
    check "same stdin" equals "$(recorded stdin)" "from stdin"

    new_case "process-status"
    export DRALMIK_HOME=$case_dir/gw NODE_STATUS=7
    run_tool run remote
    check "gateway's own status" equals "$status" 7

    # Started by a relative path, the tool still finds its bundle by absolute path.
    new_case "process-started-by-path"
    export DRALMIK_HOME=$case_dir/gw
    (cd "$bundle/Contents" && ./MacOS/dralmik-helper run gateway </dev/null)
    check "relative argv[0]" equals "$(recorded arg0)" "$runtime"

    # Through a relative link on PATH, as the package installs it: the bundle is the one the
    # link leads to, not the link's folder.
    new_case "process-through-link"
    export DRALMIK_HOME=$case_dir/gw
    mkdir "$case_dir/bin"
    ln -s ../X.app/Contents/MacOS/dralmik-helper "$case_dir/bin/dralmik-helper"
    (cd "$case_dir/home" && PATH="$case_dir/bin:$PATH" dralmik-helper run remote </dev/null)
    check "status" equals "$?" 0
    check "bundle's runtime" equals "$(recorded arg0)" "$runtime"
    check "bundle's script" equals "$(recorded arg)" "$resources/app/dist/main.js remote"
}

case $group in
    usage | modes | home | logs | process) "group_$group" ;;
    *) echo "unknown group $group" >&2; exit 2 ;;
esac
if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed in group $group" >&2
    exit 1
fi
echo "group $group: all checks passed"
