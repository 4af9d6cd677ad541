#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test under Wine.
# Usage: scripts/test.sh [build-folder] [extra ctest arguments]
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
shift || true
# Absolute: the clean-up runs after the cd into it and must find the same prefix.
mkdir -p "$build"
build=$(cd "$build" && pwd)

"$top/scripts/bootstrap.sh"

cmake -S "$top" -B "$build" -G "Unix Makefiles" \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" \
  -DBRELIO_DEV_BUILD=ON >/dev/null
cmake --build "$build" -j "$(nproc)"

# Windows (and later the tray) need a display; tests get a private one.
# Several runs may share the machine: take a display number nobody holds.
n=$(( 90 + RANDOM % 100 ))
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$(( n + 1 )); done
display=:$n
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
cleanup() {
  WINEPREFIX="$build/wineprefix" wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb_pid" >/dev/null 2>&1 || true
}
trap cleanup EXIT
export DISPLAY=$display

"$build/wine-prepare.sh"

cd "$build"
ctest --output-on-failure -j "$(nproc)" "$@"
