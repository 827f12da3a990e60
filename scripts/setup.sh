#!/bin/sh
# Installs, with apt-get, whatever the build, the tests and the application need and this
# machine lacks. Safe to run again: it asks apt only for packages that are missing.
set -eu

PACKAGES="cmake g++ make pkg-config git
libgtest-dev libgmock-dev libbenchmark-dev
liburiparser-dev nlohmann-json3-dev libplist-dev
libgtk-3-dev libwebkit2gtk-4.1-dev libdbusmenu-gtk3-dev libcairo2-dev libx11-dev libxrandr-dev
nodejs
xvfb xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils xauth x11-utils xdotool imagemagick dbus dbus-x11 libglib2.0-bin procps trayer
file dpkg-dev lintian desktop-file-utils appstream systemd man-db
python3 python3-gi gir1.2-gtk-3.0 python3-pyatspi at-spi2-core
sway wtype"

missing=""
for package in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done
# node may come from elsewhere than Debian's package; then nodejs is not needed.
if command -v node >/dev/null 2>&1; then
    missing=$(printf '%s\n' $missing | grep -vx nodejs | tr '\n' ' ')
fi

if [ -n "$(echo "$missing" | tr -d ' ')" ]; then
    echo "Installing:$missing"
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -q
    # shellcheck disable=SC2086
    $SUDO apt-get install -y -q --no-install-recommends $missing
fi
