#!/usr/bin/env bash
# Runs the overlay benchmark: overlay questions per second and the slowest
# single question on a local database of ROWS rows, asked of the overlay
# library directly and of the shell extension's handlers (which call it),
# for files, folders, the top folder over every row, after each write of
# the program, while the program holds the storage mutex and while the
# database file is held open without sharing.
# Usage: bench/overlay_bench.sh [build-folder] [rows]
# It rewrites the program's settings in the build's Wine prefix.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
rows=${2:-300000}
work="$build/scratch/overlay-bench"
rm -rf "$work"
mkdir -p "$work"

winpath() { echo "Z:${1//\//\\}"; }
cmake --build "$build" --target OverlayBench -j "$(nproc)" >/dev/null
"$build/wine-run.sh" "$build/bench/OverlayBench.exe" "$(winpath "$build/shellext/BrelioIconOverlay.dll")" \
  "$(winpath "$build/shellext/BrelioShellExt.dll")" "$(winpath "$work")" "$rows" | tr -d '\r'
