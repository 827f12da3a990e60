#!/bin/sh
# Builds the application and runs it.
#   With a display: runs it in the foreground until it quits.
#   Without one: runs it under a private session bus and a virtual display, waits for the
#   gateway's page, saves a screenshot to build/screenshot.png, prints the tray menu, and
#   stops the application cleanly: "Stop and Quit…" stops the gateway it started and withdraws
#   the login start that the launch registered; "Quit Menu Bar Icon" when no stop is offered.
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${DRALMIK_BUILD_DIR:-"$ROOT/build"}  # the build folder; build/ unless told otherwise
APP="$BUILD/Dralmik LLM Gateway.app/Contents/MacOS/Dralmik LLM Gateway"

if [ "${DRALMIK_RUN_INNER:-}" != 1 ]; then
    "$ROOT/scripts/setup.sh"
    cmake -S "$ROOT" -B "$BUILD" >/dev/null
    cmake --build "$BUILD" -j2 --target dralmik_app dralmik-helper dralmik_bundle_files
    if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
        exec "$APP" "$@"
    fi
    # The private bus and its portals are chatty on standard error: keep that in a log, shown
    # only when the run fails.
    if ! DRALMIK_RUN_INNER=1 NO_AT_BRIDGE=1 dbus-run-session -- \
        xvfb-run -a -s "-screen 0 1280x1024x24" sh "$0" "$@" 2>"$BUILD/run-app.log"; then
        cat "$BUILD/run-app.log" >&2
        echo "The application did not show the gateway page (log: $BUILD/run-app.log)." >&2
        exit 1
    fi
    exit 0
fi

# Inside the private session.
MENU_PATH=/StatusNotifierItem/Menu
"$APP" "$@" &
PID=$!

bus_name() {
    for name in $(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.ListNames | grep -o "':[0-9.]*'" | tr -d "'"); do
        owner=$(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
            --method org.freedesktop.DBus.GetConnectionUnixProcessID "$name" 2>/dev/null |
            sed -n 's/^(uint32 \([0-9]*\),)$/\1/p')
        [ "$owner" = "$PID" ] && { echo "$name"; return 0; }
    done
    return 1
}
layout() {
    gdbus call --session --dest "$DEST" --object-path "$MENU_PATH" \
        --method com.canonical.dbusmenu.GetLayout -- 0 -1 "['label','visible','enabled']" 2>/dev/null
}
labels() {
    layout | grep -o "{'label': <'[^']*'>, 'visible': <[a-z]*>, 'enabled': <[a-z]*>}" |
        sed "s/{'label': <'\([^']*\)'>, 'visible': <\([a-z]*\)>, 'enabled': <\([a-z]*\)>}/\1|\2|\3/"  | sed 1d  # the first is the menu's root
}

# The tray menu's first line reads "Starting" until the gateway's page answers the probe.
DEST=""
state=""
i=0
while [ $i -lt 150 ] && kill -0 "$PID" 2>/dev/null; do
    [ -z "$DEST" ] && DEST=$(bus_name || true)
    if [ -n "$DEST" ]; then
        state=$(labels | sed -n 1p | cut -d'|' -f1)
        [ -n "$state" ] && [ "$state" != Starting ] && break
    fi
    sleep 0.2
    i=$((i + 1))
done
sleep 1  # let the page finish painting
import -window root "$BUILD/screenshot.png"
echo "Screenshot: $BUILD/screenshot.png"
echo "Tray menu (label|visible|enabled):"
labels | sed 's/^/  /'

# Quit the way a user would.
click_id() { layout | grep -o "([0-9]*, {'label': <'$1'>, 'visible': <true>, 'enabled': <true>" | sed 's/^(\([0-9]*\),.*/\1/'; }
id=$(click_id 'Stop and Quit…')
[ -n "$id" ] || id=$(click_id 'Quit Menu Bar Icon (keeps running)')
if [ -n "$id" ]; then
    gdbus call --session --dest "$DEST" --object-path "$MENU_PATH" \
        --method com.canonical.dbusmenu.Event -- "$id" clicked '<int32 0>' 0 >/dev/null
fi
i=0
while kill -0 "$PID" 2>/dev/null && [ $i -lt 75 ]; do sleep 0.2; i=$((i + 1)); done
kill "$PID" 2>/dev/null || true
wait "$PID" 2>/dev/null || true
[ -n "$state" ] && [ "$state" != Starting ]
