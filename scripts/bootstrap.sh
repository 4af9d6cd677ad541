#!/usr/bin/env bash
# Installs what the build and the tests need and builds the third-party
# libraries (SQLite, jsoncpp) from Debian's source packages into .deps/.
# A second run finds everything in place and returns within seconds.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
deps="$top/.deps"
mingw_cc=x86_64-w64-mingw32-gcc-posix
mingw_cxx=x86_64-w64-mingw32-g++-posix
mingw_ar=x86_64-w64-mingw32-ar

packages=(
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools
  wine wine64 xvfb xauth libnss-myhostname googletest tcl python3
  cmake make dpkg-dev
  python3-fonttools fonts-nanum fonts-noto-cjk fonts-wine gcab
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

apt_updated=0
apt_update() {
  if [ "$apt_updated" = 0 ]; then
    apt-get update -qq
    apt_updated=1
  fi
}

if [ "${#missing[@]}" -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  apt_update
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Source packages need deb-src entries next to the binary ones.
enable_deb_src() {
  local changed=0 f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    if grep -q '^Types: deb$' "$f"; then
      sed -i 's/^Types: deb$/Types: deb deb-src/' "$f"
      changed=1
    fi
  done
  if [ -f /etc/apt/sources.list ] && grep -q '^deb ' /etc/apt/sources.list \
     && ! grep -q '^deb-src ' /etc/apt/sources.list; then
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >> /etc/apt/sources.list
    changed=1
  fi
  if [ "$changed" = 1 ]; then apt_updated=0; fi
}

fetch_source() { # package, destination folder
  local pkg=$1 dest=$2
  [ -d "$dest" ] && return 0
  enable_deb_src
  apt_update
  local work
  work=$(mktemp -d "$deps/src-$pkg.XXXXXX")
  (cd "$work" && apt-get source -qq "$pkg" >/dev/null 2>&1)
  local tree
  tree=$(find "$work" -mindepth 1 -maxdepth 1 -type d | head -n 1)
  [ -n "$tree" ] || { echo "bootstrap: apt-get source $pkg gave no source tree" >&2; exit 1; }
  mv "$tree" "$dest"
  rm -rf "$work"
}

mkdir -p "$deps/lib" "$deps/include"

# SQLite: thread-safe amalgamation, built with the cross compiler.
if [ ! -f "$deps/lib/libsqlite3.a" ]; then
  fetch_source sqlite3 "$deps/sqlite3-src"
  if [ ! -f "$deps/sqlite3-src/sqlite3.c" ]; then
    (cd "$deps/sqlite3-src" && ./configure -q >/dev/null && make -s sqlite3.c >/dev/null)
  fi
  cp "$deps/sqlite3-src/sqlite3.h" "$deps/include/"
  $mingw_cc -O2 -DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION \
    -c "$deps/sqlite3-src/sqlite3.c" -o "$deps/sqlite3.o"
  rm -f "$deps/lib/libsqlite3.a"
  $mingw_ar rcs "$deps/lib/libsqlite3.a" "$deps/sqlite3.o"
  rm -f "$deps/sqlite3.o"
fi

# jsoncpp: its three library sources, built with the cross compiler.
if [ ! -f "$deps/lib/libjsoncpp.a" ]; then
  fetch_source libjsoncpp "$deps/jsoncpp-src"
  rm -rf "$deps/include/json"
  cp -r "$deps/jsoncpp-src/include/json" "$deps/include/json"
  objs=()
  for s in json_reader json_value json_writer; do
    $mingw_cxx -std=c++17 -O2 -I"$deps/include" -I"$deps/jsoncpp-src/src/lib_json" \
      -c "$deps/jsoncpp-src/src/lib_json/$s.cpp" -o "$deps/$s.o"
    objs+=("$deps/$s.o")
  done
  rm -f "$deps/lib/libjsoncpp.a"
  $mingw_ar rcs "$deps/lib/libjsoncpp.a" "${objs[@]}"
  rm -f "${objs[@]}"
fi

echo "bootstrap: ready"
