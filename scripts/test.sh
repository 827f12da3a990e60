#!/bin/sh
# Runs every test from a fresh Debian machine: installs what is missing, configures and builds
# build/ (the application bundle included), then runs the whole CTest suite (unit, POSIX
# integration, scanning, dralmik-helper, stand-in gateway and end-to-end tests).
set -eu
cd "$(dirname "$0")/.."

sh scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
cd build
ctest --output-on-failure -j2 "$@"
