# Builds the Debian package and checks it: lintian reports no error or warning and no hardening
# tag, the installed desktop entry and metainfo pass their validators, the package holds what a
# desktop looks for, its systemd user units pass `systemd-analyze verify`, dralmik-helper run
# through its link on PATH becomes the bundle's gateway, and the application unpacked from it
# and started through its link shows the gateway page.
#   sh package.sh <cpack> <CPackConfig.cmake> <project version>
set -u

CPACK=$1 CONFIG=$2 VERSION=$3
HERE=$(cd "$(dirname "$0")" && pwd)
ID=com.dralmik.gateway.app
WORK=$(mktemp -d "${TMPDIR:-/tmp}/dralmik-package.XXXXXX")
FAILED=0
HELPER_PID=
trap '[ -n "$HELPER_PID" ] && kill -KILL "$HELPER_PID" 2>/dev/null
      if [ "$FAILED" -ne 0 ]; then echo "(work folder kept: $WORK)" >&2; else rm -rf "$WORK"; fi' EXIT
trap 'exit 1' INT TERM

fail() { echo "FAIL: $*" >&2; FAILED=1; }
pass() { echo "ok: $*" >&2; }
clock() { date +%s.%N; }
took() { awk -v a="$1" -v b="$(clock)" 'BEGIN { printf "%.1f s", b - a }'; }

t=$(clock)
if ! "$CPACK" --config "$CONFIG" -G DEB -B "$WORK/out" >"$WORK/cpack.log" 2>&1; then
    cat "$WORK/cpack.log" >&2
    fail "cpack failed"; exit 1
fi
DEB=$(ls "$WORK/out"/dralmik-gateway_"$VERSION"_*.deb 2>/dev/null | head -n1)
[ -n "$DEB" ] || { fail "no dralmik-gateway_${VERSION}_<arch>.deb in $WORK/out"; exit 1; }
pass "built $(basename "$DEB") ($(took "$t"))"

depends=$(dpkg-deb -f "$DEB" Depends)
case "$depends" in *nodejs*) ;; *) fail "Depends lacks the JavaScript runtime: $depends" ;; esac
case "$depends" in *libgtk-3-0*) pass "Depends computed from the binaries" ;; *) fail "Depends lacks the shared libraries: $depends" ;; esac

t=$(clock)
if lintian --display-info --fail-on error,warning "$DEB" >"$WORK/lintian.log" 2>&1; then
    pass "lintian: no error or warning ($(took "$t"))"
else
    fail "lintian reports errors or warnings"
fi
grep -v '^running with root privileges' "$WORK/lintian.log" | sed 's/^/  lintian: /' >&2
# At any level: a binary without the hardening flags, and an override that no longer applies.
grep -Eq '^[EWI]: .*(hardening-|-override)' "$WORK/lintian.log" && fail "lintian reports hardening or override tags"
dpkg-deb -c "$DEB" | grep -Eq '\.wants/|/etc/' && fail "the package enables something: $(dpkg-deb -c "$DEB" | grep -E '\.wants/|/etc/')"

ROOT=$WORK/root
dpkg -x "$DEB" "$ROOT" || { fail "dpkg -x failed"; exit 1; }
BUNDLE="$ROOT/usr/lib/dralmik/Dralmik LLM Gateway.app"
for file in "usr/share/applications/$ID.desktop" "usr/share/metainfo/$ID.metainfo.xml" \
    "usr/share/icons/hicolor/scalable/apps/$ID.svg" "usr/share/icons/hicolor/symbolic/apps/$ID-symbolic.svg" \
    "usr/lib/dralmik/Dralmik LLM Gateway.app/Contents/Resources/icons/hicolor/scalable/apps/$ID.svg" \
    "usr/lib/dralmik/Dralmik LLM Gateway.app/Contents/Resources/icons/hicolor/symbolic/apps/$ID-symbolic.svg"; do
    [ -s "$ROOT/$file" ] || fail "not in the package: /$file"
done

# Any finding, hints included, is a fault.
findings=$(desktop-file-validate "$ROOT/usr/share/applications/$ID.desktop" 2>&1)
if [ $? -eq 0 ] && [ -z "$findings" ]; then pass "desktop-file-validate: clean"; else fail "desktop-file-validate: $findings"; fi
grep -qxF "Exec=\"/usr/lib/dralmik/Dralmik LLM Gateway.app/Contents/MacOS/Dralmik LLM Gateway\"" \
    "$ROOT/usr/share/applications/$ID.desktop" || fail "the entry does not start /usr/lib/dralmik/…: $(grep ^Exec= "$ROOT/usr/share/applications/$ID.desktop")"
# validate-tree also checks the metainfo against the desktop entry it names.
if appstreamcli validate-tree --no-net "$ROOT" >"$WORK/appstream.log" 2>&1; then
    pass "appstreamcli validate-tree: passed"
else
    fail "appstreamcli: $(cat "$WORK/appstream.log")"
fi
release=$(grep -o '<release version="[^"]*"' "$ROOT/usr/share/metainfo/$ID.metainfo.xml" | head -n1 | cut -d'"' -f2)
[ "$release" = "$VERSION" ] || fail "the metainfo's newest release is '$release', the package's version $VERSION"

# On PATH: relative links to the bundle's executables, each with its manual page.
for name in dralmik-helper dralmik-gateway; do
    case $name in dralmik-helper) executable=dralmik-helper ;; *) executable="Dralmik LLM Gateway" ;; esac
    link=$ROOT/usr/bin/$name
    case $(readlink "$link") in
        /* | "") fail "/usr/bin/$name: $(ls -l "$link" 2>&1)" ;;
        *) [ "$(readlink -f "$link")" = "$BUNDLE/Contents/MacOS/$executable" ] || fail "/usr/bin/$name leads to $(readlink -f "$link")" ;;
    esac
    gzip -t "$ROOT/usr/share/man/man1/$name.1.gz" || fail "no compressed manual page $name(1)"
done

# The user units run the tool from PATH. verify checks a unit's command on this machine's file
# system, so the copies it reads name the unpacked tool; MANPATH lets it find the page named
# by Documentation=, and the user manager it loads needs a runtime folder.
mkdir -p "$WORK/units" && mkdir -m 700 "$WORK/runtime"
for unit in dralmik-gateway:gateway dralmik-gateway-remote:remote; do
    file=$ROOT/usr/lib/systemd/user/${unit%%:*}.service
    grep -qxF "ExecStart=/usr/bin/dralmik-helper run ${unit#*:}" "$file" || fail "$file: $(grep ^ExecStart= "$file" 2>&1)"
    sed "s|^ExecStart=/usr/bin/|ExecStart=$ROOT/usr/bin/|" "$file" >"$WORK/units/${unit%%:*}.service"
done
if XDG_RUNTIME_DIR=$WORK/runtime MANPATH=$ROOT/usr/share/man systemd-analyze --user verify \
        "$WORK/units/dralmik-gateway.service" "$WORK/units/dralmik-gateway-remote.service" >"$WORK/verify.log" 2>&1 &&
    [ ! -s "$WORK/verify.log" ]; then
    pass "systemd-analyze verify: both units clean"
else
    fail "systemd-analyze verify: $(cat "$WORK/verify.log")"
fi

# The runtime is the dependency's node, not the build machine's.
runtime="$BUNDLE/Contents/Resources/runtime/node"
if [ -L "$runtime" ] && { [ "$(readlink -m "$runtime")" = "$ROOT/usr/bin/node" ] || [ "$(readlink "$runtime")" = /usr/bin/node ]; }; then
    pass "runtime links to /usr/bin/node"
else
    fail "runtime: $(ls -l "$runtime" 2>&1)"
fi

# The unpacked programs run with their dependency's node standing at the root's /usr/bin/node.
ln -s /usr/bin/node "$ROOT/usr/bin/node"

# What a unit runs, through the link: the tool becomes the bundle's gateway (the pid it announces
# is the one started here), whose output goes to its log, and a stop (SIGTERM, as systemctl sends)
# ends it with status 0, which Restart=on-failure leaves stopped.
helper_home=$WORK/helper-home
DRALMIK_HOME=$helper_home "$ROOT/usr/bin/dralmik-helper" run gateway </dev/null >"$WORK/helper.out" 2>&1 &
HELPER_PID=$!
tries=0
until grep -qs 'listening on http://localhost:' "$helper_home/logs/gateway.log" || [ $tries -ge 100 ]; do
    sleep 0.1; tries=$((tries + 1))
done
grep -qs "\"pid\": $HELPER_PID," "$helper_home/gateway-service.json" ||
    fail "the gateway through /usr/bin/dralmik-helper did not announce pid $HELPER_PID: $(cat "$helper_home/gateway-service.json" "$helper_home/logs/gateway.log" 2>&1)"
kill -TERM "$HELPER_PID" 2>/dev/null
wait "$HELPER_PID"
status=$? HELPER_PID=
if [ "$status" -eq 0 ] && [ ! -s "$WORK/helper.out" ]; then
    pass "dralmik-helper through its link ran the bundle's gateway and stopped with status 0"
else
    fail "dralmik-helper through its link: status $status, output: $(cat "$WORK/helper.out")"
fi

# Start the unpacked application through its link on PATH.
t=$(clock)
if dbus-run-session -- xvfb-run -a -s "-screen 0 1280x1024x24" \
    sh "$HERE/installed_start.sh" "$BUNDLE" "$ROOT/usr/bin/dralmik-gateway" 2>"$WORK/start.log"; then
    grep '^ok: ' "$WORK/start.log" >&2
    pass "the unpacked application showed the gateway page ($(took "$t"))"
else
    cat "$WORK/start.log" >&2
    fail "the unpacked application did not show the gateway page"
fi

[ "$FAILED" -eq 0 ]
