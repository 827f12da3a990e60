#!/bin/bash
# Runs the application in real desktop shells, each in a private session, and prints one row per
# host: the tray icon's contrast against the panel, whether the tray menu opened, what a real left
# click on the icon opens (the menu, the window or nothing), whether the window has the focus
# after each road that brings it forward, and whether a notice was shown.
#
#   bash tests/desktops/run.sh [HOST...]      (as root; default: every host)
#
# It exits with 1 when a row falls short (see `faults`), listing what did under FAULTS.
# Hosts: gnome-x11, gnome-x11-ext, gnome-wayland, gnome-wayland-ext (-ext: with the AppIndicator
# extension), plasma-x11, sway (with swaybar), sway-mako (no bar, mako for notices), xfce-light,
# xfce-dark, mate, lxqt, waybar (default configuration, under sway on Xvfb), cinnamon (with
# xapp-sn-watcher), budgie (its XEmbed tray), plasma-wayland (kwin_wayland nested on Xvfb),
# waybar-scale2 (waybar at scale 2: is the icon offered sharp). Not part of the test suite: it
# needs the shells installed (it installs what is missing with apt-get) and several minutes.
# Screenshots go to build/desktops/HOST/.
#
# Each host runs in its own folder (HOME, XDG folders, gateway home) under dbus-run-session, on
# its own Xvfb where it needs one; every process started for it carries DESKTOPS_WORK=<folder> in
# its environment, which is how the clean-up finds them all (D-Bus-activated services included).
set -u
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
APP_NAME="Dralmik LLM Gateway"
BUNDLE="$ROOT/build/$APP_NAME.app"
EXE="$BUNDLE/Contents/MacOS/$APP_NAME"
OUT="$ROOT/build/desktops"
ALL_HOSTS="gnome-x11 gnome-x11-ext gnome-wayland gnome-wayland-ext plasma-x11 sway sway-mako xfce-light xfce-dark mate lxqt waybar cinnamon budgie plasma-wayland waybar-scale2"
HOST_TIMEOUT=${HOST_TIMEOUT:-240}
NOBODY=65534
PY=/usr/bin/python3
LAUNCH_HOW="" NOTICE_CLICK_HOW=""

log() { printf '%s\n' "$*" >&2; }

# wait_until SECONDS COMMAND...: runs COMMAND every 0.3 s until it succeeds or time runs out.
wait_until() {
    limit=$1; shift
    end=$(( $(date +%s) + limit ))
    while ! "$@" >/dev/null 2>&1; do
        [ "$(date +%s)" -ge "$end" ] && return 1
        sleep 0.3
    done
}

tagged() {  # the processes started for the host whose folder is $1
    for environ in /proc/[0-9]*/environ; do
        pid=${environ#/proc/}; pid=${pid%/environ}
        [ "$pid" = "$$" ] && continue
        if { tr '\0' '\n' < "$environ"; } 2>/dev/null | grep -qxF "DESKTOPS_WORK=$1"; then echo "$pid"; fi
    done
}

end_tagged() {
    for pid in $(tagged "$1"); do kill -TERM "$pid" 2>/dev/null; done
    sleep 1
    for pid in $(tagged "$1"); do kill -KILL "$pid" 2>/dev/null; done
}

# ---------------------------------------------------------------------------------------------
# Inside one host's session (run.sh --inside HOST WORK), under dbus-run-session.
# ---------------------------------------------------------------------------------------------

field() { printf '%s=%s\n' "$1" "$2" >> "$WORK/fields"; log "[$HOST] $1: $2"; }
note() { printf 'notes=%s\n' "$1" >> "$WORK/fields"; log "[$HOST] note: $1"; }

bus_has() {
    gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.NameHasOwner "$1" 2>/dev/null | grep -q true
}
watcher_prop() {
    gdbus call --session --dest org.kde.StatusNotifierWatcher --object-path /StatusNotifierWatcher \
        --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher "$1" 2>/dev/null
}
host_registered() { watcher_prop IsStatusNotifierHostRegistered | grep -q true; }
bus_name_of() {
    for name in $(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
            --method org.freedesktop.DBus.ListNames | grep -o "':[0-9.]*'" | tr -d "'"); do
        owner=$(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
            --method org.freedesktop.DBus.GetConnectionUnixProcessID "$name" 2>/dev/null | sed -n 's/^(uint32 \([0-9]*\),)$/\1/p')
        [ "$owner" = "$1" ] && { echo "$name"; return 0; }
    done
    return 1
}
item_registered() {
    name=$(bus_name_of "$FIRST_PID") || return 1
    watcher_prop RegisteredStatusNotifierItems | grep -qF "'$name"
}

# Screenshots: the whole screen (for nested GNOME, the outer Xvfb that shows the nested one).
shot() {
    f="$WORK/shots/$HOST-$1.png"
    if [ "$KIND" = sway ]; then grim "$f"; else import -window root "$f"; fi
    echo "$f"
}

gnome_eval() {
    gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell --method org.gnome.Shell.Eval "$1" 2>/dev/null
}

focused_title() {
    case $KIND in
    gnome) gnome_eval "global.display.focus_window ? global.display.focus_window.get_title() : ''" |
               sed -n "s/^(true, '\"\(.*\)\"')$/\1/p" ;;
    x11) xdotool getactivewindow getwindowname 2>/dev/null ;;
    kwin) kwin_js "workspace.activeClient ? workspace.activeClient.caption : ''" ;;
    sway) swaymsg -t get_tree -r | $PY -c '
import json, sys
def walk(n):
    if n.get("focused"): print(n.get("name") or ""); return True
    return any(walk(c) for c in n.get("nodes", []) + n.get("floating_nodes", []))
walk(json.load(sys.stdin))' ;;
    esac
}
# kwin_js EXPRESSION: the value of EXPRESSION in a kwin script, which kwin prints to its log.
kwin_js() {
    tag="probe-$(date +%s%N)"  # called in $(...): a counter would not last from one call to the next
    printf 'print("%s:" + (%s));\n' "$tag" "$1" > "$WORK/$tag.js"
    id=$(gdbus call --session --dest org.kde.KWin --object-path /Scripting --method org.kde.kwin.Scripting.loadScript \
             "$WORK/$tag.js" "$tag" 2>/dev/null | sed -n 's/^(\(-\{0,1\}[0-9]*\),)$/\1/p')
    [ -n "$id" ] && [ "$id" -ge 0 ] || return 1
    gdbus call --session --dest org.kde.KWin --object-path /Scripting --method org.kde.kwin.Scripting.start >/dev/null 2>&1
    wait_until 5 grep -q "$tag:" "$WORK/kwin.log"
    gdbus call --session --dest org.kde.KWin --object-path /Scripting --method org.kde.kwin.Scripting.unloadScript "$tag" >/dev/null 2>&1
    sed -n "s/.*$tag:\(.*\)\"\{0,1\}$/\1/p" "$WORK/kwin.log" | head -n1
}
app_focused() { [ "$(focused_title)" = "$APP_NAME" ]; }
launcher_focused() { [ "$(focused_title)" = Launcher ]; }

# Puts the launcher's window in front with the focus, as a user clicking it would.
raise_launcher() {
    case $KIND in
    gnome) gnome_eval "global.get_window_actors().map(a => a.meta_window).filter(w => w.get_title() == 'Launcher')
                       .forEach(w => w.activate(global.get_current_time()))" >/dev/null ;;
    x11) xdotool search --name '^Launcher$' windowactivate 2>/dev/null ;;
    kwin) kwin_js "workspace.clientList().filter(c => c.caption == 'Launcher').map(c => workspace.activeClient = c).length" >/dev/null ;;
    sway) swaymsg '[title="^Launcher$"] focus' >/dev/null ;;
    esac
    wait_until 5 launcher_focused
    sleep 0.5
}

# click X Y [BUTTON] [TIMES]: a real pointer click where the shell's panel draws the item.
click() {
    xdotool mousemove "$1" "$2"; sleep 0.3
    xdotool click --repeat "${4:-1}" --delay 120 "${3:-1}"
}
key() { [ "$KIND" = sway ] || xdotool key "$1"; }

# road NAME COMMAND...: puts another window in front, takes the road, and says whether the
# application's window then has the focus.
road() {
    name=$1; shift
    [ -n "${NO_RAISE:-}" ] || raise_launcher
    before=$(focused_title)
    if [ "$before" = "$APP_NAME" ]; then
        field "$name" "n/a (the window kept the focus over the launcher's)"
        return
    fi
    "$@"
    how=${ROAD_HOW:+; $ROAD_HOW}
    if wait_until 8 app_focused; then
        field "$name" "yes${how:+ (${how#; })}"
    else
        sleep 1
        shown=no; window_exists && shown=yes
        field "$name" "NO (focus on '$(focused_title)', window shown: $shown$how)"
    fi
    shot "after-$name" >/dev/null
}

window_exists() {
    case $KIND in
    gnome) gnome_eval "global.get_window_actors().some(a => a.meta_window.get_title() == '$APP_NAME')" | grep -q "'true'" ;;
    # The menus and the XEmbed icon carry the application's name too: only a window of the
    # window's size (437x480 at least) is the window.
    x11) for w in $(xdotool search --onlyvisible --name "^$APP_NAME\$" 2>/dev/null); do
             eval "$(xdotool getwindowgeometry --shell "$w" | grep -E '^(WIDTH|HEIGHT)=')"
             [ "$WIDTH" -ge 437 ] && [ "$HEIGHT" -ge 480 ] && return 0
         done
         return 1 ;;
    kwin) [ "$(kwin_js "workspace.clientList().filter(c => c.caption == '$APP_NAME' && !c.minimized).length")" -gt 0 ] ;;
    sway) swaymsg -t get_tree -r | grep -qF "\"name\": \"$APP_NAME\"" ;;
    esac
}

# The tray's "Open" item, chosen as a user does: the menu opened with a click on the icon, then
# the first item that can be chosen (the state line above it cannot) with the keyboard.
open_item() {
    click "$ICON_X" "$ICON_Y" "$MENU_BUTTON"
    sleep 1.5
    key Down; sleep 0.3; key Return
}

# item_call METHOD: calls the item's method as a tray host does, at 0,0.
item_call() {
    dest=$(bus_name_of "$FIRST_PID") || return 1
    gdbus call --session --dest "$dest" --object-path /StatusNotifierItem --method "org.kde.StatusNotifierItem.$1" 0 0 >/dev/null
}

start_app() {
    # Started from a clean folder: its own environment, the host's display variables.
    ( cd "$WORK" && exec env DRALMIK_HOME="$WORK/gateway-home" "$EXE" "$@" >>"$WORK/app.log" 2>&1 ) &
    APP_PID=$!
    FIRST_PID=${FIRST_PID:-$APP_PID}
}

start_launcher() {
    $PY "$HERE/launcher.py" "$EXE" > "$WORK/launcher.out" 2>&1 &
    LAUNCHER_PID=$!
    wait_until 30 grep -qx ready "$WORK/launcher.out" || note "the launcher window did not show"
}

# Waits until the clock will not change in the next half minute, so that a diff of two
# screenshots of a panel shows the item and not a clock's new minute.
clock_safe() {
    s=$(date +%S); s=${s#0}
    [ "$s" -le 25 ] || sleep $(( 61 - s ))
}

# The icon's box in the panel (PANEL_BOX: x0 y0 x1 y1), from screenshots before and after.
measure_icon() {
    read -r count x0 y0 x1 y1 <<EOF
$($PY "$HERE/shot.py" item "$1" "$2" "${ITEM_END:-first}" $PANEL_BOX)
EOF
    if [ "$count" -eq 0 ]; then field contrast "no icon drawn in the panel"; return 1; fi
    ICON_X=$(( (x0 + x1) / 2 )) ICON_Y=$(( (y0 + y1) / 2 ))
    m=$($PY "$HERE/shot.py" contrast "$1" "$2" "$x0" "$y0" "$x1" "$y1" ${PANEL_FROM:-})
    best=${m#best=}; best=${best%% *}
    field contrast "$best:1 ($(echo "$m" | cut -d' ' -f2-3 | tr ' ' ,), $((x1 - x0))x$((y1 - y0)) at $x0,$y0)"
    convert "$2" -crop "$((x1 - x0 + 24))x$((y1 - y0 + 24))+$((x0 - 12))+$((y0 - 12))" -scale 800% \
        "$WORK/shots/$HOST-icon-zoom.png" 2>/dev/null
    [ $((x1 - x0)) -le 48 ] || note "what changed in the panel when the item came is $((x1 - x0)) px wide: not one icon"
}

# The tray host's menu after MENU_BUTTON on the icon: drawn on the screen, or nothing.
measure_menu() {
    a=$(shot before-menu)
    click "$ICON_X" "$ICON_Y" "$MENU_BUTTON"
    sleep 2.5
    b=$(shot menu)
    read -r count x0 y0 x1 y1 <<EOF
$($PY "$HERE/shot.py" diff "$a" "$b")
EOF
    if [ "$count" -gt 1500 ] && [ $((x1 - x0)) -gt 60 ] && [ $((y1 - y0)) -gt 60 ]; then
        field menu "opened ($((x1 - x0))x$((y1 - y0)) at $x0,$y0, button $MENU_BUTTON)"
    else
        field menu "NOT opened (button $MENU_BUTTON; $count px changed)"
    fi
    key Escape; sleep 1
}

# What a real left click on the icon opens: the host's menu (drawn on the screen), the window, or
# nothing; with the host's calls to the item that the click made (the item answers Activate with
# NotSupported, after which a host opens the menu itself).
measure_left_click() {
    if [ -n "${NO_POINTER:-}" ]; then field "left click" "$NO_POINTER"; return; fi
    if window_exists; then field "left click" "n/a (the window was shown before the click)"; return; fi
    calls_before=$(grep -c 'interface=org.kde.StatusNotifierItem' "$WORK/monitor.log" 2>/dev/null)
    a=$(shot before-left-click)
    click "$ICON_X" "$ICON_Y" 1
    sleep 2.5
    b=$(shot left-click)
    calls=$(grep 'interface=org.kde.StatusNotifierItem' "$WORK/monitor.log" 2>/dev/null | sed -n "$((calls_before + 1)),\$ s/.*member=//p" |
                grep -v '^ProvideXdgActivationToken$' | sort | uniq | tr '\n' ',' | sed 's/,$//')
    calls=${calls:+; the host called $calls}
    read -r count x0 y0 x1 y1 <<EOF
$($PY "$HERE/shot.py" diff "$a" "$b")
EOF
    if window_exists; then
        field "left click" "WINDOW$calls"
    elif [ "$count" -gt 1500 ] && [ $((x1 - x0)) -gt 60 ] && [ $((y1 - y0)) -gt 60 ]; then
        field "left click" "menu ($((x1 - x0))x$((y1 - y0)) at $x0,$y0$calls)"
    else
        field "left click" "NOTHING ($count px changed$calls)"
    fi
    key Escape; sleep 1
}

# The menu, three times in a row: one row says how many of the three opened it.
menu_three_times() {
    for i in 1 2 3; do measure_menu; cp "$WORK/shots/$HOST-menu.png" "$WORK/shots/$HOST-menu-$i.png" 2>/dev/null; done
    opened=$(grep -c '^menu=opened\|^menu=ContextMenu: the window opened with' "$WORK/fields")
    last=$(value menu "$WORK/fields")
    field menu "$opened of 3 times; the last: $last"
}

notice_click() {
    # Headless sway has no pointer for its clients: what mako does on a click, invoke the default action.
    if [ "$KIND" = sway ]; then makoctl invoke; else click "$1" "$2"; fi
}

notices_sent() { n=$(grep -c "member=Notify$" "$WORK/monitor.log" 2>/dev/null); echo "${n:-0}"; }
notice_beside_tray() {
    n=$(notices_sent)
    [ "$n" -eq 0 ] && field notice "none (the tray shows the item)" || field notice "$n sent beside a tray host"
}

tray_host_run() {
    start_launcher
    raise_launcher
    clock_safe
    a=$(shot before)
    start_app --background
    if ! wait_until 40 item_registered; then
        field contrast "the item was not registered with the watcher"
    fi
    sleep 4
    b=$(shot icon)
    window_exists && note "a --background start showed the window beside a tray host"
    notice_beside_tray
    measure_icon "$a" "$b" || return
    menu_three_times
    measure_left_click
    if [ "$HOST" = sway ]; then
        field "open item" "n/a (swaybar draws no menu)"
    else
        road "open item" open_item
    fi
    ROAD_HOW=$LAUNCH_HOW road "launcher" launch_second_copy
}

notice_host_run() {
    start_launcher
    raise_launcher
    a=$(shot before)
    start_app --background
    wait_until 20 sh -c "grep -q 'member=Notify\$' '$WORK/monitor.log'"
    # A banner goes away after a few seconds: screenshots until one shows (or the window does).
    for _ in 1 2 3 4 5 6 7 8; do
        sleep 1
        b=$(shot notice)
        window_exists && break
        [ "$($PY "$HERE/shot.py" diff "$a" "$b" | cut -d' ' -f1)" -gt 1000 ] && break
    done
    n=$(notices_sent)
    if window_exists; then
        field notice "window opened instead ($n Notify calls)"
    elif [ "$n" -eq 0 ]; then
        field notice "NONE: no Notify call, no window"
    else
        read -r count x0 y0 x1 y1 <<EOF
$($PY "$HERE/shot.py" diff "$a" "$b")
EOF
        if [ "$count" -gt 1000 ]; then
            field notice "shown ($((x1 - x0))x$((y1 - y0)) at $x0,$y0)"
            NO_RAISE=1 ROAD_HOW=$NOTICE_CLICK_HOW road "notice click" notice_click $(( (x0 + x1) / 2 )) $(( (y0 + y1) / 2 ))
        else
            field notice "Notify sent, nothing drawn ($count px changed)"
        fi
    fi
    sleep 2
    kill -0 "$FIRST_PID" 2>/dev/null || { wait "$FIRST_PID"; note "the application ended (status $?) after the notice's click"; }
    window_exists || start_app  # a copy started from a shell opens the window of the first
    wait_until 15 window_exists
    ROAD_HOW=$LAUNCH_HOW road "launcher" launch_second_copy
}

# A second copy from the launcher: a click on its button, the input event the compositor wants
# before it grants a token; in headless sway, which has no pointer, a signal.
launch_second_copy() {
    case $KIND in
    gnome) at=$(gnome_eval "let r = global.get_window_actors().map(a => a.meta_window).find(w => w.get_title() == 'Launcher')
                             .get_frame_rect(); (r.x + r.width / 2) + ' ' + (r.y + r.height / 2)" | sed -n "s/^(true, '\"\(.*\)\"')$/\1/p")
           click $at ;;
    x11) eval "$(xdotool search --name '^Launcher$' getwindowgeometry --shell | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
         click $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) ;;
    kwin) click $(kwin_js "workspace.clientList().filter(c => c.caption == 'Launcher').map(c =>
                   Math.round(c.frameGeometry.x + c.frameGeometry.width / 2) + ' ' + Math.round(c.frameGeometry.y + c.frameGeometry.height / 2))[0]") ;;
    sway) kill -USR1 "$LAUNCHER_PID" ;;
    esac
}

# --- the hosts ---

start_xvfb() {
    for n in $(seq 40 99); do [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break; done
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
    export DISPLAY=":$n"
    wait_until 15 xdpyinfo || { field start "Xvfb did not start"; exit 0; }
}

gnome_up() {
    # GNOME Shell aborts without a system bus: a private one.
    dbus-daemon --session --address="unix:path=$WORK/system_bus" --nofork >/dev/null 2>&1 &
    export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$WORK/system_bus"
    wait_until 10 test -S "$WORK/system_bus"
    # The probe turns on the shell's unsafe mode so that Eval answers (the focus, the windows).
    probe="$XDG_DATA_HOME/gnome-shell/extensions/desktops-probe@local"
    mkdir -p "$probe"
    printf '{"uuid": "desktops-probe@local", "name": "probe", "description": "test probe", "shell-version": ["43"]}\n' > "$probe/metadata.json"
    printf 'function init() { return { enable() { global.context.unsafe_mode = true; }, disable() {} }; }\n' > "$probe/extension.js"
    ext="'desktops-probe@local'"
    [ "$WITH_EXT" = 1 ] && ext="$ext, 'ubuntu-appindicators@ubuntu.com'"
    gsettings set org.gnome.shell enabled-extensions "[$ext]"
    gsettings set org.gnome.shell welcome-dialog-last-shown-version '99'
    gsettings set org.gnome.desktop.interface clock-show-seconds false
    export XDG_CURRENT_DESKTOP=GNOME
    if [ "$SESSION" = x11 ]; then
        export XDG_SESSION_TYPE=x11
        gnome-shell --x11 --replace --sm-disable >"$WORK/shell.log" 2>&1 &
    else
        export XDG_SESSION_TYPE=wayland
        MUTTER_DEBUG_DUMMY_MODE_SPECS=1280x800 gnome-shell --nested --wayland --wayland-display desktops-0 \
            >"$WORK/shell.log" 2>&1 &
    fi
    if ! wait_until 90 sh -c "gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell --method org.gnome.Shell.Eval 1 | grep -q '(true'"; then
        field start "GNOME Shell did not answer within 90 s"; exit 0
    fi
    # The shell starts in the overview and greets root with a notice: both put away, so that the
    # screenshots show the desktop and nothing but the application's notices.
    gnome_overview_away() {
        gnome_eval "Main.layoutManager._startingUp ? 'starting' : (Main.overview.hide(),
            Main.messageTray.getSources().forEach(s => s.destroy()), Main.overview.visible || Main.overview.animationInProgress)" |
            grep -q "'false'"
    }
    wait_until 60 gnome_overview_away || note "the overview stayed up"
    sleep 1; gnome_overview_away
    if [ "$SESSION" = wayland ]; then
        # The application and the launcher are Wayland clients of the nested shell; DISPLAY stays
        # the outer Xvfb's, for the screenshots and the pointer.
        export WAYLAND_DISPLAY=desktops-0 GDK_BACKEND=wayland
    fi
    if [ "$WITH_EXT" = 1 ] && ! wait_until 30 host_registered; then note "the AppIndicator extension registered no tray host"; fi
    sleep 2
    field start "GNOME Shell $(gnome-shell --version | awk '{print $3}') $SESSION$([ "$WITH_EXT" = 1 ] && echo ' + AppIndicator')"
}

run_gnome() {
    KIND=gnome
    start_xvfb
    gnome_up
    PANEL_BOX="720 0 1280 34"  # right of the clock
    if [ "$WITH_EXT" = 1 ]; then
        MENU_BUTTON=3
        tray_host_run
    else
        field "left click" "n/a (no tray)"
        notice_host_run
    fi
}

run_plasma() {
    KIND=x11
    start_xvfb
    export XDG_CURRENT_DESKTOP=KDE KDE_FULL_SESSION=true KDE_SESSION_VERSION=5 QT_QPA_PLATFORM=xcb XDG_SESSION_TYPE=x11
    dbus-update-activation-environment DISPLAY XAUTHORITY XDG_CURRENT_DESKTOP KDE_FULL_SESSION KDE_SESSION_VERSION \
        QT_QPA_PLATFORM DESKTOPS_WORK HOME XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME XDG_RUNTIME_DIR 2>/dev/null
    kwin_x11 >"$WORK/kwin.log" 2>&1 &
    wait_until 30 xprop -root _NET_SUPPORTING_WM_CHECK || { field start "kwin_x11 did not start"; exit 0; }
    plasma_panel_run "X11 (kwin_x11)"
}

# plasma_panel_run SESSION: plasmashell's default panel under the running kwin, then the row.
plasma_panel_run() {
    plasmashell >"$WORK/plasmashell.log" 2>&1 &
    wait_until 120 host_registered || { field start "plasmashell registered no tray host within 120 s"; exit 0; }
    sleep 8  # the panel is drawn after the host registers
    field start "Plasma $(plasmashell --version 2>/dev/null | awk '{print $2}') $1"
    PANEL_BOX="640 756 1140 800"  # the tray, left of the clock
    ITEM_END=first  # the tray grows to the left
    MENU_BUTTON=3
    tray_host_run
}

run_xfce() {
    KIND=x11
    start_xvfb
    dark=false; [ "$HOST" = xfce-dark ] && dark=true
    conf="$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml"
    mkdir -p "$conf"
    cat > "$conf/xfce4-panel.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="dark-mode" type="bool" value="$dark"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="30"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
        <value type="int" value="2"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="separator">
      <property name="expand" type="bool" value="true"/>
      <property name="style" type="uint" value="0"/>
    </property>
    <property name="plugin-2" type="string" value="systray"/>
  </property>
</channel>
XML
    xfce4-panel --disable-wm-check >"$WORK/panel.log" 2>&1 &
    wait_until 60 host_registered || { field start "xfce4-panel registered no tray host within 60 s"; exit 0; }
    sleep 3
    field start "xfce4-panel $(xfce4-panel --version | awk 'NR==1 {print $2}') X11, $( [ $dark = true ] && echo dark || echo light) panel, no window manager"
    PANEL_BOX="640 0 1280 34"
    MENU_BUTTON=3
    clock_safe
    a=$(shot before)
    start_app --background
    wait_until 40 item_registered || field contrast "the item was not registered with the watcher"
    sleep 4
    b=$(shot icon)
    notice_beside_tray
    measure_icon "$a" "$b" || return
    menu_three_times
    measure_left_click
    # No window manager: whatever asks for the focus gets it, so the roads prove nothing here.
}

run_sway() {
    KIND=sway
    LAUNCH_HOW="launched on a signal: no input, so the token has no serial"
    NOTICE_CLICK_HOW="makoctl invoke"
    export WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman XDG_SESSION_TYPE=wayland \
        XDG_CURRENT_DESKTOP=sway GDK_BACKEND=wayland
    unset DISPLAY
    {
        echo "output HEADLESS-1 resolution 1280x800"
        echo "default_border normal"
        echo "focus_on_window_activation focus"
        [ "$HOST" = sway ] && printf 'bar {\n  position top\n  tray_output *\n}\n'  # no status line: nothing but the tray at the right
    } > "$WORK/sway.conf"
    sway -c "$WORK/sway.conf" >"$WORK/sway.log" 2>&1 &
    wait_until 30 sh -c "ls '$XDG_RUNTIME_DIR'/sway-ipc.*.sock" || { field start "sway did not start"; exit 0; }
    export SWAYSOCK=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock | head -n1)
    export WAYLAND_DISPLAY=$(cd "$XDG_RUNTIME_DIR" && ls wayland-* | grep -v lock | head -n1)
    field start "sway $(sway --version | awk '{print $3}') headless$([ "$HOST" = sway ] && echo ', swaybar' || echo ', no bar, mako')"
    if [ "$HOST" = sway ]; then
        wait_until 30 host_registered || { field start "swaybar registered no tray host"; exit 0; }
        PANEL_BOX="640 0 1280 24"
        ITEM_END=last
        MENU_BUTTON=3
        # Headless sway gives its clients no pointer (no input device), so swaybar cannot be
        # clicked: its calls are made as it makes them, ContextMenu for the right button (and for
        # the left one on an item that is its menu), at 0,0 and with no token (swaybar 1.7 gives
        # none).
        NO_POINTER="n/a: headless sway has no pointer to click swaybar with (for an item that is its menu swaybar sends ContextMenu, as in the menu column)"
        measure_menu() {  # swaybar has no dbusmenu: a right click calls the item's ContextMenu
            raise_launcher
            item_call ContextMenu
            sleep 3
            shot menu >/dev/null
            if app_focused; then field menu "ContextMenu: the window opened with the focus"
            elif window_exists; then field menu "ContextMenu: the window opened WITHOUT the focus"
            else field menu "ContextMenu: NOTHING happened"; fi
        }
        tray_host_run
    else
        field "left click" "n/a (no tray)"
        mako >"$WORK/mako.log" 2>&1 &
        wait_until 15 bus_has org.freedesktop.Notifications || note "mako did not start"
        notice_host_run
        makoctl list >/dev/null 2>&1 && note "mako lists $(makoctl list 2>/dev/null | grep -c '"app-name"') notice(s) at the end"
    fi
}

# A private system bus, for shells that abort or lose applets without one.
private_system_bus() {
    dbus-daemon --session --address="unix:path=$WORK/system_bus" --nofork >/dev/null 2>&1 &
    export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$WORK/system_bus"
    wait_until 10 test -S "$WORK/system_bus"
}

# wait_for_tray SECONDS WHAT: a tray host registered with the watcher, then time to draw the panel.
wait_for_tray() {
    wait_until "$1" host_registered || { field start "$2 registered no tray host within $1 s"; exit 0; }
    sleep 5
}

run_mate() {
    KIND=x11
    start_xvfb
    export XDG_CURRENT_DESKTOP=MATE XDG_SESSION_TYPE=x11
    # The panel's applets are D-Bus-activated: they need the display in the bus's environment.
    dbus-update-activation-environment --all 2>/dev/null
    marco --no-composite >"$WORK/marco.log" 2>&1 &
    wait_until 30 xprop -root _NET_SUPPORTING_WM_CHECK || { field start "marco did not start"; exit 0; }
    mate-panel >"$WORK/panel.log" 2>&1 &
    wait_for_tray 60 mate-panel
    field start "MATE panel $(dpkg-query -W -f='${Version}' mate-panel | cut -d- -f1) X11 (marco), default layout"
    PANEL_BOX="640 0 1280 30"  # the top panel's notification area, left of the clock
    ITEM_END=last:1  # the area grows to the left, and its first item brings a drag handle 2 px away
    MENU_BUTTON=3
    tray_click() { click "$ICON_X" "$ICON_Y" 1; }
    tray_host_run
}

run_lxqt() {
    KIND=x11
    start_xvfb
    # The panel's default configuration lives in /usr/share/lxqt; Qt must take the X11 road.
    export XDG_CURRENT_DESKTOP=LXQt XDG_SESSION_TYPE=x11 XDG_CONFIG_DIRS=/etc/xdg:/usr/share QT_QPA_PLATFORM=xcb
    dbus-update-activation-environment --all 2>/dev/null
    openbox >"$WORK/openbox.log" 2>&1 &
    wait_until 30 xprop -root _NET_SUPPORTING_WM_CHECK || { field start "openbox did not start"; exit 0; }
    lxqt-panel >"$WORK/panel.log" 2>&1 &
    wait_for_tray 60 lxqt-panel
    field start "LXQt panel $(dpkg-query -W -f='${Version}' lxqt-panel | cut -d- -f1) X11 (openbox), default panel"
    PANEL_BOX="640 760 1280 800"  # the bottom panel's status notifier area
    ITEM_END=last
    MENU_BUTTON=3
    tray_click() { click "$ICON_X" "$ICON_Y" 1; }
    tray_host_run
}

# waybar with its default configuration (its tray at the right end of the bar, on a blue block)
# under sway, which runs as a window on Xvfb: the X11 backend gives sway a real pointer and
# keyboard, so xdotool clicks waybar and types into menus as a user would. With SCALE=2 (host
# waybar-scale2) the output is at scale 2: the screenshots and the pointer are in its pixels,
# sway's tree in points.
run_waybar() {
    KIND=sway
    SCALE=${SCALE:-1}
    start_xvfb
    export WLR_BACKENDS=x11 WLR_RENDERER=pixman XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=sway GDK_BACKEND=wayland
    printf 'output X11-1 resolution 1280x800 position 0 0 scale %s\ndefault_border normal\nfocus_on_window_activation focus\n' \
        "$SCALE" > "$WORK/sway.conf"
    sway -c "$WORK/sway.conf" >"$WORK/sway.log" 2>&1 &
    wait_until 30 sh -c "ls '$XDG_RUNTIME_DIR'/sway-ipc.*.sock" || { field start "sway did not start"; exit 0; }
    export SWAYSOCK=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock | head -n1)
    export WAYLAND_DISPLAY=$(cd "$XDG_RUNTIME_DIR" && ls wayland-* | grep -v lock | head -n1)
    # The X11 backend's window is where sway's output is: at the screen's top left, no window manager.
    wait_until 10 xdotool search --name wlroots
    waybar >"$WORK/waybar.log" 2>&1 &
    wait_for_tray 30 waybar
    field start "waybar $(waybar --version 2>/dev/null | awk '{print $2}' | tr -d v) (default configuration) under sway $(sway --version | awk '{print $3}'), X11 backend$([ "$SCALE" = 1 ] || echo ", output at scale $SCALE")"
    PANEL_BOX="640 0 1280 $((30 * SCALE))"
    ITEM_END=last
    PANEL_FROM=after  # the tray's blue block comes with its first item
    MENU_BUTTON=3
    key() { xdotool key "$1"; }
    tray_click() { click "$ICON_X" "$ICON_Y" 1; }
    launch_second_copy() {  # a real click on the launcher's window
        at=$(swaymsg -t get_tree -r | $PY -c '
import json, sys
def walk(n):
    if n.get("name") == "Launcher":
        r = n["rect"]; s = int(sys.argv[1]); print(s * (r["x"] + r["width"] // 2), s * (r["y"] + r["height"] // 2)); return True
    return any(walk(c) for c in n.get("nodes", []) + n.get("floating_nodes", []))
walk(json.load(sys.stdin))' "$SCALE")
        click $at
    }
    tray_host_run
    icon_sharpness
}

# Whether the icon is offered sharp: its box (from the contrast field) and how many of its pixels
# lie between its colours, against the same box shrunk to half and scaled up again, which is what
# a host that scales up the 1x image shows (at scale 1 both are printed for comparison).
icon_sharpness() {
    c=$(value contrast "$WORK/fields")
    case $c in *" at "*) ;; *) return ;; esac
    size=${c##*, }; size=${size%% at *}; at=${c##* at }; at=${at%)}
    w=${size%x*} h=${size#*x} x=${at%,*} y=${at#*,}
    m=$($PY "$HERE/shot.py" edge "$WORK/shots/$HOST-before.png" "$WORK/shots/$HOST-icon.png" "$x" "$y" $((x + w)) $((y + h)))
    share=${m#*share=}; share=${share%% *}; up=${m##*scaled_up_share=}
    if [ "$SCALE" = 1 ]; then verdict="scale 1"
    elif [ $((w * 10)) -ge $((16 * SCALE * 9)) ] && [ $((share * 4)) -le $((up * 3)) ]; then verdict="SHARP at scale $SCALE"
    else verdict="NOT SHARP at scale $SCALE"; fi
    note "icon $verdict: ${w}x${h} px, $share% of its pixels between colours (a half-size image scaled up: $up%)"
}

# Cinnamon shows items through XApp status icons: xapp-sn-watcher is the watcher, and turns each
# item into an XAppStatusIcon that the shell's applet draws.
run_cinnamon() {
    KIND=x11
    start_xvfb
    private_system_bus
    export XDG_CURRENT_DESKTOP=X-Cinnamon XDG_SESSION_TYPE=x11
    dbus-update-activation-environment --all 2>/dev/null
    cinnamon --replace >"$WORK/shell.log" 2>&1 &
    wait_until 60 bus_has org.Cinnamon || { field start "Cinnamon did not start within 60 s"; exit 0; }
    /usr/libexec/xapps/sn-watcher/xapp-sn-watcher >"$WORK/sn-watcher.log" 2>&1 &
    wait_for_tray 30 xapp-sn-watcher
    sleep 5
    field start "Cinnamon $(cinnamon --version | awk '{print $2}') X11 + xapp-sn-watcher, default panel"
    PANEL_BOX="640 760 1280 800"  # the bottom panel's tray, left of the clock
    ITEM_END=first
    MENU_BUTTON=3
    tray_click() { click "$ICON_X" "$ICON_Y" 1; }
    tray_host_run
}

# Plasma on Wayland: plasmashell on kwin_wayland, which runs nested as a window on Xvfb (its X11
# backend also gives xdotool a real pointer and keyboard on the nested output). The installed
# kwin_wayland carries a file capability that a plain root session may not use, so a copy of it
# without one runs. The application and the launcher are Wayland clients; the focus is asked of
# kwin through a script of its own.
run_plasma_wayland() {
    KIND=kwin
    start_xvfb
    export XDG_CURRENT_DESKTOP=KDE KDE_FULL_SESSION=true KDE_SESSION_VERSION=5 XDG_SESSION_TYPE=wayland \
        QT_QPA_PLATFORM=wayland GDK_BACKEND=wayland WAYLAND_DISPLAY=wayland-desktops QT_LOGGING_RULES="kwin_scripting=true"
    dbus-update-activation-environment --all 2>/dev/null
    cp /usr/bin/kwin_wayland "$WORK/kwin_wayland"
    "$WORK/kwin_wayland" --x11-display "$DISPLAY" --width 1280 --height 800 --socket wayland-desktops \
        --no-lockscreen --no-kactivities >"$WORK/kwin.log" 2>&1 &
    wait_until 30 test -S "$XDG_RUNTIME_DIR/wayland-desktops" || { field start "kwin_wayland did not start"; exit 0; }
    wait_until 30 bus_has org.kde.KWin || { field start "kwin_wayland took no bus name"; exit 0; }
    plasma_panel_run "Wayland (kwin_wayland nested on Xvfb)"
}

# Budgie on X11: budgie-wm and budgie-panel. Budgie runs no StatusNotifierWatcher, so the item
# shows as the XEmbed icon in the panel's system tray applet. That icon's own window carries the
# application's name, which `window_exists` tells from the window by its size.
run_budgie() {
    KIND=x11
    start_xvfb
    private_system_bus  # the panel's applets are lost without one
    export XDG_CURRENT_DESKTOP=Budgie:GNOME XDG_SESSION_TYPE=x11
    dbus-update-activation-environment --all 2>/dev/null
    budgie-wm --replace >"$WORK/wm.log" 2>&1 &
    wait_until 30 xprop -root _NET_SUPPORTING_WM_CHECK || { field start "budgie-wm did not start"; exit 0; }
    budgie-panel --replace >"$WORK/panel.log" 2>&1 &
    wait_until 60 xembed_tray_up || { field start "budgie-panel showed no system tray within 60 s"; exit 0; }
    sleep 3
    field start "Budgie $(dpkg-query -W -f='${Version}' budgie-desktop | cut -d- -f1) X11 (budgie-wm), default panel, XEmbed tray"
    PANEL_BOX="800 759 1280 800"  # the bottom panel's right end: the tray, left of the clock
    ITEM_END=first
    MENU_BUTTON=3
    item_registered() { xembed_icon_shown; }
    tray_host_run
}

# An XEmbed tray manager runs: some window owns the screen's tray selection.
xembed_tray_up() {
    $PY -c '
import ctypes, sys
x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XInternAtom.argtypes, x.XInternAtom.restype = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int], ctypes.c_ulong
x.XGetSelectionOwner.argtypes, x.XGetSelectionOwner.restype = [ctypes.c_void_p, ctypes.c_ulong], ctypes.c_ulong
d = x.XOpenDisplay(None)
sys.exit(not (d and x.XGetSelectionOwner(d, x.XInternAtom(d, b"_NET_SYSTEM_TRAY_S0", 0))))'
}
# The application's XEmbed icon is mapped in a tray: a window of its name, icon-sized, viewable.
xembed_icon_shown() {
    for w in $(xdotool search --onlyvisible --name "^$APP_NAME\$" 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$w" | grep -E '^(WIDTH|HEIGHT)=')"
        [ "$WIDTH" -le 64 ] && return 0
    done
    return 1
}

first_copy_gone() {  # ended, or ended and not yet waited for
    st=$(ps -o stat= -p "$FIRST_PID")
    [ -z "$st" ] || [ "${st#Z}" != "$st" ]
}

inside() {
    HOST=$1 WORK=$2
    cd "$WORK" || exit 1
    # The notices, and what the tray host sends the item (its calls, the menu's events with their
    # timestamps), for reading after the run.
    dbus-monitor --session "interface='org.freedesktop.Notifications'" "interface='org.gtk.Notifications'" \
        "interface='org.kde.StatusNotifierItem',type='method_call'" "interface='com.canonical.dbusmenu',member='Event'" \
        >"$WORK/monitor.log" 2>&1 &
    case $HOST in
    gnome-x11) SESSION=x11 WITH_EXT=0 run_gnome ;;
    gnome-x11-ext) SESSION=x11 WITH_EXT=1 run_gnome ;;
    gnome-wayland) SESSION=wayland WITH_EXT=0 run_gnome ;;
    gnome-wayland-ext) SESSION=wayland WITH_EXT=1 run_gnome ;;
    plasma-x11) run_plasma ;;
    sway|sway-mako) run_sway ;;
    xfce-light|xfce-dark) run_xfce ;;
    mate) run_mate ;;
    lxqt) run_lxqt ;;
    waybar) run_waybar ;;
    waybar-scale2) SCALE=2 run_waybar ;;
    cinnamon) run_cinnamon ;;
    budgie) run_budgie ;;
    plasma-wayland) run_plasma_wayland ;;
    *) field start "unknown host"; exit 0 ;;
    esac
    shot end >/dev/null
    # An orderly stop while the session still runs: what it prints belongs to the application,
    # not to the session's end (the bus going away under it).
    if kill -0 "$FIRST_PID" 2>/dev/null; then
        kill -TERM "$FIRST_PID"
        if wait_until 10 first_copy_gone; then
            wait "$FIRST_PID"; status=$?
            [ "$status" -eq 0 ] || [ "$status" -eq 143 ] || note "the application ended with status $status after SIGTERM"
            sleep 5
            left=$(for e in /proc/[0-9]*/environ; do
                       tr '\0' '\n' < "$e" 2>/dev/null | grep -qxF "DRALMIK_HOME=$WORK/gateway-home" || continue
                       pid=${e#/proc/}; pid=${pid%/environ}; echo "$pid $(cat "/proc/$pid/comm" 2>/dev/null)"
                   done | tr '\n' ' ')
            [ -z "$left" ] || note "5 s after the application ended on SIGTERM, still running: $left"
        else
            note "the application did not end within 10 s of SIGTERM"
        fi
        FIRST_PID_STOPPED=1
    fi
    # What the application printed that GLib, GTK or the engine flag.
    warned=$(grep -E -- '-(WARNING|CRITICAL)|Gtk-Message|GLib-GIO' "$WORK/app.log" | sed 's/^(.*:[0-9]*): //' | sort | uniq -c | head -n 5)
    [ -n "$warned" ] && note "app printed: $(echo "$warned" | tr -s ' ' | tr '\n' ';')"
    if [ -z "${FIRST_PID_STOPPED:-}" ]; then
        wait "$FIRST_PID"; note "the first copy had ended by the end of the run (exit status $?)"
    fi
}

# ---------------------------------------------------------------------------------------------
# Outside: packages, build, one private session per host, the table.
# ---------------------------------------------------------------------------------------------

# packages HOST: what the host's row needs beyond the common tools.
packages() {
    case $1 in
    gnome-*) echo gnome-shell gnome-shell-extension-appindicator gjs ;;  # gjs: the shell's notification service
    plasma-*) echo plasma-desktop kwin-x11 kwin-wayland qtwayland5 ;;
    sway|sway-mako|waybar*) echo sway mako-notifier waybar grim xwayland ;;
    budgie) echo budgie-desktop gir1.2-peas-1.0 ;;
    xfce-*) echo xfce4-panel ;;
    mate) echo mate-panel mate-settings-daemon-common marco ;;
    lxqt) echo lxqt-panel openbox ;;
    cinnamon) echo cinnamon xapp-sn-watcher ;;
    esac
}

install_missing() {
    missing=""
    for p in $(for h in "$@"; do packages "$h"; done) xvfb xdotool imagemagick x11-utils x11-xserver-utils dbus-x11 \
             libnotify-bin python3-gi gir1.2-gtk-3.0; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing="$missing $p"
    done
    [ -z "$missing" ] && return 0
    log "installing:$missing"
    for _ in $(seq 60); do  # another apt-get may hold the lock: wait for it
        DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing && return 0
        sleep 10
    done
    log "could not install:$missing"
}

run_host() {
    host=$1 work=$2
    mkdir -p "$work/home" "$work/config" "$work/data" "$work/cache" "$work/runtime" "$work/gateway-home" "$work/shots"
    chmod 700 "$work/runtime"
    env_list="HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache
              XDG_RUNTIME_DIR=$work/runtime DESKTOPS_WORK=$work NO_AT_BRIDGE=1 PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8"
    case $host in
    sway*|waybar*)  # sway refuses to run as root: the whole session runs as nobody
        chown -R "$NOBODY:$NOBODY" "$work"
        timeout -k 10 "$HOST_TIMEOUT" setpriv --reuid=$NOBODY --regid=$NOBODY --clear-groups \
            env -i $env_list dbus-run-session -- bash "$0" --inside "$host" "$work" ;;
    *)
        timeout -k 10 "$HOST_TIMEOUT" env -i $env_list dbus-run-session -- bash "$0" --inside "$host" "$work" ;;
    esac
}

value() { sed -n "s/^$1=//p" "$2" | tail -n1; }

# faults HOST FIELDS: what in the host's row falls short, one line each (nothing when all holds):
# the shell up, the icon drawn at 4.5:1 or better, the menu three times out of three, a left click
# that opens the menu, the window in front with the focus after each road, a notice only where no
# tray shows the item, and no CRITICAL line or leftover run.
faults() {
    f=$2
    start=$(value start "$f")
    case $start in ""|*"did not"*|*"registered no"*|"unknown host") echo "did not start: ${start:-nothing}"; return ;; esac
    case $1 in
    gnome-x11|gnome-wayland|sway-mako)
        case $(value notice "$f") in shown*) ;; *) echo "notice: $(value notice "$f")" ;; esac ;;
    *)
        contrast=$(value contrast "$f")
        awk -v c="${contrast%%:1*}" 'BEGIN { exit !(c + 0 >= 4.5) }' || echo "contrast: ${contrast:-none}"
        case $(value menu "$f") in "3 of 3 times"*) ;; *) echo "menu: $(value menu "$f")" ;; esac
        case $(value 'left click' "$f") in menu*|n/a*) ;; *) echo "left click: $(value 'left click' "$f")" ;; esac
        case $(value notice "$f") in none*) ;; *) echo "notice: $(value notice "$f")" ;; esac ;;
    esac
    for road in 'open item' launcher 'notice click'; do
        case $(value "$road" "$f") in ""|yes*|n/a*) ;; *) echo "$road: $(value "$road" "$f")" ;; esac
    done
    sed -n 's/^notes=//p' "$f" | grep -E 'CRITICAL|STOPPED|did not end' | sed 's/^/notes: /'
}

main() {
    [ "$(id -u)" -eq 0 ] || { log "run as root (packages, and sway's private user)"; exit 2; }
    hosts=${*:-$ALL_HOSTS}
    install_missing $hosts
    if [ ! -x "$EXE" ]; then
        (cd "$ROOT" && cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo && cmake --build build -j2) || exit 1
    fi
    mkdir -p "$OUT"
    rows="$OUT/table.txt"
    : > "$OUT/faults.txt"
    printf '| host | shell | icon contrast | menu | left click opens | focus: Open item | focus: launcher token | notice | focus: notice click | notes |\n|---|---|---|---|---|---|---|---|---|---|\n' > "$rows"
    for host in $hosts; do
        work=$(mktemp -d /tmp/desktops-$host.XXXXXX)
        chmod 755 "$work"
        rm -rf "${OUT:?}/$host"; mkdir -p "$OUT/$host"
        log "=== $host ($work)"
        run_host "$host" "$work" 2>"$work/run.log"
        rc=$?
        end_tagged "$work"
        for f in "$work"/shots/*.png; do [ -e "$f" ] && cp "$f" "$OUT/$host/${f##*/$host-}"; done
        cp "$work/app.log" "$work/monitor.log" "$OUT/$host/" 2>/dev/null
        f="$work/fields"; touch "$f"
        notes=$(sed -n 's/^notes=//p' "$f" | tr '\n' ' ')
        [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ] && { notes="$notes STOPPED after ${HOST_TIMEOUT} s."; echo "notes=STOPPED" >> "$f"; }
        faults "$host" "$f" | sed "s/^/$host: /" >> "$OUT/faults.txt"
        printf '| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n' "$host" "$(value start "$f")" "$(value contrast "$f")" \
            "$(value menu "$f")" "$(value 'left click' "$f")" "$(value 'open item' "$f")" "$(value launcher "$f")" \
            "$(value notice "$f")" "$(value 'notice click' "$f")" "$notes" | sed 's/|  |/| — |/g; s/|  |/| — |/g' >> "$rows"
        left=$(tagged "$work")
        [ -n "$left" ] && log "LEFT RUNNING for $host: $left"
        [ -n "${KEEP:-}" ] || rm -rf "$work"
    done
    cat "$rows"
    log "screenshots: $OUT/HOST/"
    if [ -s "$OUT/faults.txt" ]; then
        printf '\nFAULTS:\n'; cat "$OUT/faults.txt"
        return 1
    fi
}

case ${1:-} in
--inside) shift; inside "$@" ;;
*) main "$@" ;;
esac
