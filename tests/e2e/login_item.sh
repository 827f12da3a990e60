# "--login-item status|register|unregister" against the bundle's agent, and "--help" and
# "--version", with no display: none of them starts the application or the gateway.
. "$(dirname "$0")/lib.sh"

unset DISPLAY WAYLAND_DISPLAY
APP=$(executable_of "$BUNDLE")
PLIST=com.dralmik.gateway.app-login.plist
ENTRY=$(autostart_entry)

expect() {  # expect STATUS STDOUT COMMAND...
    want_status=$1 want_out=$2; shift 2
    out=$("$APP" --login-item "$@" 2>"$WORK/err"); status=$?
    if [ "$status" -eq "$want_status" ] && [ "$out" = "$want_out" ]; then pass "$* -> $status '$out'"; else
        fail "$*: exit $status, out '$out', err '$(cat "$WORK/err")' (wanted $want_status '$want_out')"; fi
}

out=$("$APP" --version 2>&1) && [ "$out" = "Dralmik LLM Gateway 0.1.0" ] && pass "--version" || fail "--version: $out"
out=$("$APP" --help 2>&1) && printf '%s' "$out" | grep -q -- '--background' && pass "--help" || fail "--help: $out"
[ -z "$(own_processes)" ] || fail "--help or --version left processes behind"
[ ! -e "$XDG_CONFIG_HOME/autostart" ] || fail "--help or --version touched the login start"

expect 1 notRegistered status "$PLIST"
expect 0 "" register "$PLIST"
[ -f "$ENTRY" ] || fail "register wrote no entry"
grep -qxF "Exec=\"$APP\" --background" "$ENTRY" && pass "Exec line quotes the executable" || fail "Exec: $(grep Exec "$ENTRY")"
expect 0 enabled status "$PLIST"
expect 0 "" register "$PLIST"
expect 0 "" unregister "$PLIST"
[ -f "$ENTRY" ] && fail "unregister left the entry"
expect 1 notRegistered status "$PLIST"

# The user's own switch-off is kept, also by register.
expect 0 "" register "$PLIST"
sed -i 's/^X-GNOME-Autostart-enabled=true$/X-GNOME-Autostart-enabled=false/' "$ENTRY"
expect 1 requiresApproval status "$PLIST"
expect 0 "" register "$PLIST"
grep -qx 'X-GNOME-Autostart-enabled=false' "$ENTRY" && pass "switched-off entry kept" || fail "register overwrote the user's choice"

expect 1 notFound status missing-agent.plist
out=$("$APP" --login-item register missing-agent.plist 2>"$WORK/err"); status=$?
[ "$status" -eq 1 ] && grep -q '^register missing-agent.plist: ' "$WORK/err" && pass "failed register names the agent" ||
    fail "register of a missing agent: exit $status, '$(cat "$WORK/err")'"
expect 1 "" Register "$PLIST"
grep -qx 'unknown command Register' "$WORK/err" || fail "unknown command message: $(cat "$WORK/err")"
finish
