#!/usr/bin/env bash
# Runs BrelioDrive.exe, the real program, against the local service
# stand-in: the settings an earlier sign-in left are stored, the program
# signs in silently, syncs the drive into the folder, shows its tray icon
# and status window; then a local edit and a change from another device
# are synced, a screenshot of the status window is saved, and the program
# is ended through its tray menu's Exit.
# Usage: scripts/demo.sh [build-folder]
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
"$top/scripts/bootstrap.sh"
cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" -DBRELIO_DEV_BUILD=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target BrelioDrive BrelioUpdate BrelioShellExt brelio_tray_tool >/dev/null
port=$(sed -n 's/^BRELIO_STANDIN_PORT:STRING=//p' "$build/CMakeCache.txt")
state="$build/demo-standin"
folder="$build/scratch/demo-sync"

# A window needs a display: the person's own, else a private one.
xvfb_pid=
if [ -z "${DISPLAY:-}" ]; then
  export DISPLAY=:$(( 200 + RANDOM % 100 ))
  Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
fi
python3 "$top/tests/standin/fixture.py" start --port "$port" --state-dir "$state" -- --quiet
cleanup() {
  python3 "$top/tests/standin/fixture.py" stop --port "$port" --state-dir "$state" >/dev/null || true
  if [ -n "$xvfb_pid" ]; then
    WINEPREFIX="$build/wineprefix" wineserver -k >/dev/null 2>&1 || true
    kill "$xvfb_pid" >/dev/null 2>&1 || true
  fi
}
trap cleanup EXIT
"$build/wine-prepare.sh"
# The program runs under wine itself (not through the test wrapper, which
# starts a silent program again when it ends with a non-zero code).
eval "$(grep '^export' "$build/wine-run.sh")"

control() { # path, JSON body -> JSON answer
  python3 -c '
import json, sys, urllib.request
req = urllib.request.Request("http://127.0.0.1:%s/_control%s" % tuple(sys.argv[1:3]),
                             data=sys.argv[3].encode() if len(sys.argv) > 3 else None,
                             headers={"Host": "localhost"})
print(json.dumps(json.load(urllib.request.urlopen(req))))' "$port" "$@"
}
field() { python3 -c 'import json,sys; print(json.loads(sys.argv[1])[sys.argv[2]])' "$1" "$2"; }
drive_tree() {
  control "/tree?session=$session" | python3 -c '
import json, sys
for i in sorted(json.load(sys.stdin)["items"], key=lambda i: i["path"]):
    if not i.get("trashed"):
        print("   %-6s %-32s %8s" % (i["type"], i["path"], i.get("size", "")))'
}
drive_size() { # remote path -> its size on the drive
  control "/tree?session=$session" | python3 -c '
import json, sys
print(next((i.get("size") for i in json.load(sys.stdin)["items"] if i["path"] == sys.argv[1] and not i.get("trashed")), ""))' "$1"
}
# Polls a condition (a shell command) for up to a minute.
wait_for() {
  for _ in $(seq 600); do
    if eval "$1"; then return 0; fi
    sleep 0.1
  done
  echo "demo: gave up waiting for: $1" >&2
  return 1
}
tray() { wine "$build/tests/desktop/brelio_tray_tool.exe" "$@" </dev/null | tr -d '\r'; }

echo "== a drive on the stand-in"
account=$(control /accounts '{"tenant": "demo", "userCode": "kim", "name": "Kim"}')
session=$(field "$account" session)
control /seed "{\"session\": \"$session\", \"items\": [
  {\"path\": \"/Documents/plan.txt\", \"content\": \"$(printf 'first plan\n' | base64)\"},
  {\"path\": \"/Documents/Reports/2026.bin\", \"size\": 3000000},
  {\"path\": \"/Photos/beach.png\", \"size\": 250000},
  {\"path\": \"/readme.txt\", \"content\": \"$(printf 'hello\n' | base64)\"}]}" |
  python3 -c 'import json,sys; [print("  ", i["type"], i["path"]) for i in json.load(sys.stdin)["items"]]'

# What an earlier interactive sign-in stored: the account, its session and
# sync folder, "keep me signed in", and the first run behind it. The
# service is asked for changes every 3 s instead of every 10 minutes.
rm -rf "$folder"
rm -f "$build"/wineprefix/drive_c/users/*/AppData/Local/kim@demo-*.db
winfolder="Z:${folder//\//\\}"
reg() { wine reg "$@" >/dev/null 2>&1 </dev/null; }
key='HKCU\SOFTWARE\Ostrel Corporation\BrelioDrive'
reg delete "$key" /f || true
reg add "$key" /v Account /t REG_SZ /d "kim@demo" /f
reg add "$key" /v AutoLogin /t REG_DWORD /d 1 /f
reg add "$key" /v FirstRun /t REG_DWORD /d 0 /f
reg add "$key" /v SyncIdleTime /t REG_DWORD /d 3000 /f
reg add "$key\\kim@demo" /v RootDir /t REG_SZ /d "$winfolder" /f
reg add "$key\\kim@demo" /v SessionId /t REG_SZ /d "$session" /f

echo "== BrelioDrive.exe starts (display $DISPLAY)"
# An argument other than the program's switches skips the update check,
# which would ask a real update server.
wine "$build/app/BrelioDrive.exe" demo </dev/null >/dev/null 2>&1 &
program=$!
tray wait 60 || { echo "demo: no main frame appeared" >&2; exit 1; }
echo "   signed in silently; tray icon and status window are up"
wait_for '[ -f "$folder/Documents/Reports/2026.bin" ] && [ -f "$folder/readme.txt" ] &&
          [ "$(stat -c %s "$folder/Documents/Reports/2026.bin")" = 3000000 ]'
echo "== the drive synced into $folder"
(cd "$folder" && find . -type f ! -name '$$$*' | sort | while read -r f; do printf '   %-32s %8s bytes\n' "$f" "$(stat -c %s "$f")"; done)

echo "== a local edit, and a change from another device"
printf 'second plan\n' > "$folder/Documents/plan.txt"
control /remote "{\"session\": \"$session\", \"op\": \"upload\", \"path\": \"/Photos/from-phone.txt\",
  \"content\": \"$(printf 'sent from the phone\n' | base64)\"}" >/dev/null
wait_for '[ -f "$folder/Photos/from-phone.txt" ]'
wait_for '[ "$(drive_size /Documents/plan.txt)" = 12 ]'
echo "   both synced: the phone's file is in the folder, the edit is on the drive"

tray open
sleep 1
shot=$(tray shot demo-status-window) && echo "== screenshot of the status window: $(winepath -u "$shot" 2>/dev/null || echo "$shot")"

echo "== Exit from the tray menu"
tray exit
set +e
wait "$program"
code=$?
set -e
[ "$code" -eq 255 ] && code=-1
echo "   BrelioDrive.exe ended with exit code $code"
echo "== the folder $folder holds"
(cd "$folder" && find . -type f ! -name '$$$*' | sort | while read -r f; do printf '   %-32s %8s bytes\n' "$f" "$(stat -c %s "$f")"; done)
echo "== the drive holds"
drive_tree
