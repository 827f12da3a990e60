# Builds the Debian package and checks it: lintian reports no error, the installed desktop entry
# and metainfo pass their validators, the package holds what a desktop looks for, and the
# application unpacked from it starts and shows the gateway page.
#   sh package.sh <cpack> <CPackConfig.cmake> <project version>
set -u

CPACK=$1 CONFIG=$2 VERSION=$3
HERE=$(cd "$(dirname "$0")" && pwd)
ID=com.dralmik.gateway.app
WORK=$(mktemp -d "${TMPDIR:-/tmp}/dralmik-package.XXXXXX")
FAILED=0
trap 'if [ "$FAILED" -ne 0 ]; then echo "(work folder kept: $WORK)" >&2; else rm -rf "$WORK"; fi' EXIT
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
if lintian --fail-on error "$DEB" >"$WORK/lintian.log" 2>&1; then
    pass "lintian: no error ($(took "$t"))"
else
    fail "lintian reports errors"
fi
grep -v '^running with root privileges' "$WORK/lintian.log" | sed 's/^/  lintian: /' >&2

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

# The runtime is the dependency's node, not the build machine's.
runtime="$BUNDLE/Contents/Resources/runtime/node"
if [ -L "$runtime" ] && { [ "$(readlink -m "$runtime")" = "$ROOT/usr/bin/node" ] || [ "$(readlink "$runtime")" = /usr/bin/node ]; }; then
    pass "runtime links to /usr/bin/node"
else
    fail "runtime: $(ls -l "$runtime" 2>&1)"
fi

# Start the unpacked application, its dependency's node standing at the root's /usr/bin/node.
mkdir -p "$ROOT/usr/bin" && ln -s /usr/bin/node "$ROOT/usr/bin/node"
t=$(clock)
if dbus-run-session -- xvfb-run -a -s "-screen 0 1280x1024x24" \
    sh "$HERE/installed_start.sh" "$BUNDLE" 2>"$WORK/start.log"; then
    grep '^ok: ' "$WORK/start.log" >&2
    pass "the unpacked application showed the gateway page ($(took "$t"))"
else
    cat "$WORK/start.log" >&2
    fail "the unpacked application did not show the gateway page"
fi

[ "$FAILED" -eq 0 ]
