# Two monitors side by side, of different sizes and not aligned at the top, on an X server of
# our own (Xorg with the dummy driver, whose outputs are monitors as RandR reports them): the
# window opens on one monitor, centred across it and a little above its middle, never across
# the gap. On the primary monitor; where none is primary, on the one with the pointer; in its
# work area; and a saved frame on no monitor at all opens there too.
. "$(dirname "$0")/lib.sh"

unset WAYLAND_DISPLAY
# The monitors: DUMMY0 on the left, DUMMY1 on its right, 176 pixels lower.
LEFT="0 0 1600 1200"
RIGHT="1600 176 1280 1024"
FRAMES="$XDG_CONFIG_HOME/com.dralmik.gateway.app/window-frames.ini"

cat > "$WORK/xorg.conf" <<'CONF'
Section "ServerFlags"
    Option "AutoAddDevices" "false"
    Option "DontVTSwitch" "true"
EndSection
Section "Device"
    Identifier "dummy"
    Driver "dummy"
    VideoRam 65536
EndSection
Section "Monitor"
    Identifier "monitor"
    HorizSync 5.0-1000.0
    VertRefresh 5.0-200.0
EndSection
Section "Screen"
    Identifier "screen"
    Device "dummy"
    Monitor "monitor"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Virtual 2880 1200
    EndSubSection
EndSection
CONF
# The server picks a free display itself and writes its number once it accepts clients.
Xorg -displayfd 3 -config "$WORK/xorg.conf" -logfile "$WORK/xorg.log" -noreset -nolisten tcp \
    -novtswitch -sharevts -extension DRI2 3>"$WORK/display" >"$WORK/xorg.out" 2>&1 &
XORG_PID=$!
STARTED_PIDS="$STARTED_PIDS $XORG_PID"
if ! wait_until 15 grep -q '^[0-9]' "$WORK/display"; then
    fail "Xorg did not start: $(tail -n 5 "$WORK/xorg.log" 2>/dev/null)"
    finish
fi
export DISPLAY=":$(head -n1 "$WORK/display")"
# The dummy driver connects an output at its first mode.
xrandr --output DUMMY0 --mode 1600x1200 --pos 0x0 &&
    xrandr --addmode DUMMY1 1280x1024 && xrandr --output DUMMY1 --mode 1280x1024 --pos 1600x176 ||
    fail "could not set the monitors up"
[ "$(xrandr --listmonitors | sed -n 's/^Monitors: //p')" = 2 ] || fail "monitors: $(xrandr --listmonitors | tr '\n' ' ')"

export E2E_LOG="$WORK/gateway.log"
B=$(bundle_with_gateway "$E2E_DIR/test_gateway.js")

# Starts the application, waits for its page, reads the window's frame and ends it with every
# process it started.
GEOMETRY=""
run_once() {
    : > "$E2E_LOG"
    start_app "$B"
    wait_until 20 window_visible || fail "$1: no window"
    wait_until 20 grep -q '^request / ' "$E2E_LOG" || fail "$1: the page was never requested"
    wid=$(xdotool search --onlyvisible --name "^$APP_NAME\$" | head -n1)
    GEOMETRY=$(xdotool getwindowgeometry --shell "$wid" 2>/dev/null | tr '\n' ' ')
    kill -TERM "$APP_PID"; wait "$APP_PID" 2>/dev/null
    for pid in $(own_processes); do [ "$pid" = "$XORG_PID" ] || kill -KILL "$pid" 2>/dev/null; done
}

# expect_on CASE "X Y WIDTH HEIGHT": the window lies wholly in that area, centred across it,
# and above its middle.
expect_on() {
    eval "$GEOMETRY"
    set -- "$1" $2
    if [ -z "${X:-}" ]; then fail "$1: no geometry"; return; fi
    if [ "$X" -ge "$2" ] && [ "$Y" -ge "$3" ] && [ $((X + WIDTH)) -le $(($2 + $4)) ] && [ $((Y + HEIGHT)) -le $(($3 + $5)) ] &&
        [ $(( (2 * X + WIDTH) - (2 * $2 + $4) )) -ge -2 ] && [ $(( (2 * X + WIDTH) - (2 * $2 + $4) )) -le 2 ] &&
        [ $((2 * Y + HEIGHT)) -lt $((2 * $3 + $5)) ]; then
        pass "$1: ${WIDTH}x$HEIGHT+$X+$Y in $4x$5+$2+$3, centred across, above its middle"
    else
        fail "$1: ${WIDTH}x$HEIGHT+$X+$Y, not centred in $4x$5+$2+$3"
    fi
    unset X Y WIDTH HEIGHT
}

# The primary monitor is the right one, the pointer on the left one.
xrandr --output DUMMY1 --primary
xdotool mousemove 800 600
run_once "first start"
expect_on "first start, on the primary monitor" "$RIGHT"

# A frame saved on a monitor since gone (below and left of both): where a first window opens.
mkdir -p "$(dirname "$FRAMES")"
printf '[DralmikGatewayWindow]\nleft=-5000\ntop=3000\nwidth=760\nheight=640\n' > "$FRAMES"
run_once "frame on no monitor"
expect_on "a frame saved on no monitor" "$RIGHT"

# No monitor is primary: the one with the pointer.
rm -f "$FRAMES"
xrandr --noprimary
xdotool mousemove 2200 700
run_once "no primary"
expect_on "no primary, on the pointer's monitor" "$RIGHT"
rm -f "$FRAMES"
xdotool mousemove 300 300
run_once "no primary, pointer on the left"
expect_on "no primary, on the pointer's monitor" "$LEFT"

# A desktop's dock and panel on the primary monitor (as a window manager announces them, with
# the root window as its own check window): the window keeps to what is left of the monitor.
rm -f "$FRAMES"
xrandr --output DUMMY1 --primary
/usr/bin/python3 - <<'PY' || fail "could not announce the work area"
import ctypes
x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x.XDefaultRootWindow.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XInternAtom.restype = ctypes.c_ulong
x.XChangeProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_int,
                              ctypes.c_int, ctypes.c_void_p, ctypes.c_int]
display = x.XOpenDisplay(None)
root = x.XDefaultRootWindow(display)
atom = lambda name: x.XInternAtom(display, name.encode(), 0)
def put(name, kind, values):
    data = (ctypes.c_long * len(values))(*values)
    x.XChangeProperty(display, root, atom(name), kind, 32, 0, data, len(values))
XA_ATOM, XA_CARDINAL, XA_WINDOW = 4, 6, 33
put("_NET_SUPPORTING_WM_CHECK", XA_WINDOW, [root])
put("_NET_SUPPORTED", XA_ATOM, [atom("_GTK_WORKAREAS")])
# A 200-pixel dock on the right monitor's left edge, a 30-pixel panel along its top.
put("_GTK_WORKAREAS_D0", XA_CARDINAL, [0, 0, 1600, 1200, 1800, 206, 1080, 994])
x.XCloseDisplay(display)
PY
run_once "work area"
expect_on "beside a dock and under a panel" "1800 206 1080 994"

finish
