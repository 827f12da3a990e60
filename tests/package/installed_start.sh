# The application as the package installs it, with its bundled gateway, started through its link
# on PATH: the window opens and the tray menu's state line shows the state the gateway's page
# reports ("Running"). Runs as
#   dbus-run-session -- xvfb-run -a sh installed_start.sh <installed bundle> <link to the executable>
. "$(dirname "$0")/../e2e/lib.sh"
LINK=${2:?usage: installed_start.sh <bundle> <link to the executable>}
executable_of() { echo "$LINK"; }

start_app "$BUNDLE"
wait_until 30 window_visible && pass "window mapped with its title" || fail "no window titled '$APP_NAME'"
if wait_until 30 menu_has 'Running|true|false'; then pass "state line: Running"; else fail "state line: $(state_line)"; fi
alive "$APP_PID" || fail "application ended"
finish
