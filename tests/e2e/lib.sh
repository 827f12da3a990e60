# Shared steps of the end-to-end tests. Each test runs as
#   dbus-run-session -- xvfb-run -a sh <test>.sh <bundle>
# so that it has a display and a session bus of its own; this file gives it private XDG and
# gateway folders, helpers to read and click the tray menu over dbusmenu, and a clean-up that
# ends every process the test started.
set -u

BUNDLE=${1:?usage: test.sh <bundle folder>}
APP_NAME="Dralmik LLM Gateway"
E2E_DIR=$(cd "$(dirname "$0")" && pwd)
WORK=$(mktemp -d "${TMPDIR:-/tmp}/dralmik-e2e.XXXXXX")
mkdir -p "$WORK/home" "$WORK/config" "$WORK/data" "$WORK/runtime" "$WORK/gateway-home"
chmod 700 "$WORK/runtime"
export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data"
export XDG_RUNTIME_DIR="$WORK/runtime" DRALMIK_HOME="$WORK/gateway-home" NO_AT_BRIDGE=1
MENU_PATH=/StatusNotifierItem/Menu
STARTED_PIDS=""
FAILED=0

log() { printf '%s\n' "$*" >&2; }
fail() { log "FAIL: $*"; FAILED=1; }
pass() { log "ok: $*"; }

# Every process whose environment carries this test's private folder belongs to the test
# (the application, its web processes, the gateway and anything it spawned).
# One grep reads them all (a process apiece takes seconds on a busy machine); the grep and the
# subshell that ran it are in its list too, and gone by the time it is read.
own_processes() {
    found=$(grep -slxzF "DRALMIK_HOME=$DRALMIK_HOME" /proc/[0-9]*/environ)
    for environ in $found; do
        pid=${environ#/proc/}; pid=${pid%/environ}
        [ "$pid" != "$$" ] && [ -e "/proc/$pid" ] && echo "$pid"
    done
}
none_left() { [ -z "$(own_processes)" ]; }
# The engine's web content process (its name cut to 15 characters).
web_process() {
    for pid in $(own_processes); do
        [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "WebKitWebProces" ] && echo "$pid"
    done
}

# What a failed run leaves to read on a machine where the work folder is gone with it: the
# gateway's events, the application's last words and what was still running.
report() {
    [ -n "${E2E_LOG:-}" ] && [ -f "$E2E_LOG" ] && { log "--- gateway log:"; cut -c1-160 "$E2E_LOG" | tail -n 20 >&2; }
    [ -f "$WORK/app.log" ] && { log "--- application log:"; grep -v '^dbus-daemon' "$WORK/app.log" | tail -n 20 >&2; }
    log "--- running:"
    for pid in $(own_processes); do log "$pid $(tr '\0' ' ' < "/proc/$pid/cmdline" 2>/dev/null | cut -c1-160)"; done
}

cleanup() {
    [ "$FAILED" -ne 0 ] && report
    for pid in $STARTED_PIDS $(own_processes); do kill -TERM "$pid" 2>/dev/null; done
    sleep 0.5
    for pid in $(own_processes); do kill -KILL "$pid" 2>/dev/null; done
    if [ "$FAILED" -ne 0 ] && [ -d "$WORK" ]; then log "(work folder kept: $WORK)"; chmod -R a+rX "$WORK"; else rm -rf "$WORK"; fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM

finish() {
    if [ -f "$WORK/app.log" ] && grep -E -- '-(WARNING|CRITICAL) \*\*' "$WORK/app.log" >&2; then
        fail "the application warned"
    fi
    if [ "$FAILED" -ne 0 ]; then exit 1; fi
    exit 0
}

# wait_until SECONDS COMMAND...: runs COMMAND every 0.2 s until it succeeds or time runs out.
wait_until() {
    limit=$1; shift
    end=$(( $(date +%s) + limit ))
    while ! "$@" >/dev/null 2>&1; do
        [ "$(date +%s)" -ge "$end" ] && return 1
        sleep 0.2
    done
    return 0
}

# A copy of the bundle whose gateway is the given script (the rest is shared by links).
bundle_with_gateway() {
    copy="$WORK/bundle/$APP_NAME.app"
    mkdir -p "$copy/Contents/Resources/app/dist" "$copy/Contents/Library"
    ln -s "$BUNDLE/Contents/Info.plist" "$copy/Contents/Info.plist"
    cp -r "$BUNDLE/Contents/MacOS" "$copy/Contents/MacOS"
    ln -s "$BUNDLE/Contents/Resources/runtime" "$copy/Contents/Resources/runtime"
    ln -s "$BUNDLE/Contents/Resources/icons" "$copy/Contents/Resources/icons"
    cp -r "$BUNDLE/Contents/Library/LaunchAgents" "$copy/Contents/Library/LaunchAgents"
    cp "$1" "$copy/Contents/Resources/app/dist/main.js"
    echo "$copy"
}

executable_of() { echo "$1/Contents/MacOS/$APP_NAME"; }

# start_app BUNDLE [ARGS...]: starts the application in the background; sets APP_PID.
start_app() {
    b=$1; shift
    # Its launch steps, with their times, go to app.log for the report of a failure; a critical
    # from GLib or GTK ends it, and finish() fails the test on any warning in the log.
    DRALMIK_LAUNCH_TIMELINE=1 G_DEBUG=fatal-criticals "$(executable_of "$b")" "$@" >>"$WORK/app.log" 2>&1 &
    APP_PID=$!
    STARTED_PIDS="$STARTED_PIDS $APP_PID"
}

alive() { kill -0 "$1" 2>/dev/null; }
window_visible() { xdotool search --onlyvisible --name "^$APP_NAME\$" >/dev/null 2>&1; }

# The unique bus name of the connection that process PID holds.
bus_name_of() {
    names=$(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.ListNames | grep -o "':[0-9.]*'" | tr -d "'")
    for name in $names; do
        owner=$(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
            --method org.freedesktop.DBus.GetConnectionUnixProcessID "$name" 2>/dev/null | sed -n 's/^(uint32 \([0-9]*\),)$/\1/p')
        if [ "$owner" = "$1" ]; then echo "$name"; return 0; fi
    done
    return 1
}

# The tray menu's layout as gdbus prints it.
menu_layout() {
    dest=$(bus_name_of "$APP_PID") || return 1
    gdbus call --session --dest "$dest" --object-path "$MENU_PATH" \
        --method com.canonical.dbusmenu.GetLayout -- 0 -1 "['label','visible','enabled']"
}

# One line per labelled item: "label|visible|enabled".
menu_items() {
    menu_layout | grep -o "{'label': <'[^']*'>, 'visible': <[a-z]*>, 'enabled': <[a-z]*>}" |
        sed "s/{'label': <'\([^']*\)'>, 'visible': <\([a-z]*\)>, 'enabled': <\([a-z]*\)>}/\1|\2|\3/"  | sed 1d  # the first is the menu's root
}

menu_has() { menu_items | grep -qxF "$1"; }
state_line() { menu_items | sed -n 1p | cut -d'|' -f1; }
state_line_is_not() { s=$(state_line) && [ -n "$s" ] && [ "$s" != "$1" ]; }

# Clicks the tray item with this label, as a tray host does.
menu_click() {
    dest=$(bus_name_of "$APP_PID") || return 1
    id=$(menu_layout | grep -o "([0-9]*, {'label': <'$1'>" | sed 's/^(\([0-9]*\),.*/\1/' | head -n1)
    [ -n "$id" ] || return 1
    gdbus call --session --dest "$dest" --object-path "$MENU_PATH" \
        --method com.canonical.dbusmenu.Event -- "$id" clicked '<int32 0>' 0 >/dev/null
}

# start_fake ROLE LOG [OPTIONS]: a stand-in desktop service, ready when it returns; sets FAKE_PID.
start_fake() {
    /usr/bin/python3 "$E2E_DIR/fake_desktop.py" "$@" >"$WORK/$1.out" 2>&1 &
    FAKE_PID=$!
    STARTED_PIDS="$STARTED_PIDS $FAKE_PID"
    wait_until 10 grep -qx ready "$WORK/$1.out" || fail "the stand-in $1 service did not start"
}
autostart_entry() { echo "$XDG_CONFIG_HOME/autostart/com.dralmik.gateway.app.desktop"; }

# Screenshot of the whole screen; prints the standard deviation of its pixels (0 when blank).
screenshot() {
    import -window root "$1" 2>/dev/null && identify -format '%[fx:standard_deviation]' "$1"
}

# Makes a private default browser that appends each address it is given to $WORK/opened, and
# writes the environment it was started with to $WORK/opened.env.
record_browser() {
    mkdir -p "$XDG_DATA_HOME/applications"
    printf '#!/bin/sh\nprintf "%%s\\n" "$1" >> "%s/opened"\nenv > "%s/opened.env"\n' "$WORK" "$WORK" > "$WORK/browser.sh"
    cat > "$XDG_DATA_HOME/applications/e2e-browser.desktop" <<ENTRY
[Desktop Entry]
Type=Application
Name=Recording browser
Exec=sh $WORK/browser.sh %u
MimeType=x-scheme-handler/https;x-scheme-handler/http;
NoDisplay=true
ENTRY
    printf '[Default Applications]\nx-scheme-handler/https=e2e-browser.desktop\nx-scheme-handler/http=e2e-browser.desktop\n' \
        > "$XDG_CONFIG_HOME/mimeapps.list"
}

# The value of variable NAME in the environment process PID was started with; fails when unset.
environ_value() { { tr '\0' '\n' < "/proc/$1/environ"; } 2>/dev/null | sed -n "s/^$2=//p" | grep .; }

# The window shows the status page's "Try again" button (#3b82f6, the only blue it has).
offers_try_again() {
    import -window root "$WORK/shot.png" 2>/dev/null
    blue=$(convert "$WORK/shot.png" -fill black +opaque '#3b82f6' -fill white -opaque '#3b82f6' -format '%[fx:mean*w*h]' info:)
    awk "BEGIN { exit !($blue > 500) }"
}
