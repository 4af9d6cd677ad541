#!/usr/bin/env bash
# Installs what is missing, builds, starts the local service stand-in with a
# small drive, and runs the client's main job against it under Wine: a full
# sync of the drive into an empty sync folder, then a local edit synced back.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
"$top/scripts/bootstrap.sh"
cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" -DBRELIO_DEV_BUILD=ON >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null
port=$(sed -n 's/^BRELIO_STANDIN_PORT:STRING=//p' "$build/CMakeCache.txt")
state="$build/demo-standin"
folder="$build/scratch/demo-sync"

python3 "$top/tests/standin/fixture.py" start --port "$port" --state-dir "$state" -- --quiet
trap 'python3 "$top/tests/standin/fixture.py" stop --port "$port" --state-dir "$state" >/dev/null' EXIT
"$build/wine-prepare.sh"

control() { # path, JSON body -> JSON answer
  python3 -c '
import json, sys, urllib.request
req = urllib.request.Request("http://127.0.0.1:%s/_control%s" % tuple(sys.argv[1:3]),
                             data=sys.argv[3].encode() if len(sys.argv) > 3 else None,
                             headers={"Host": "localhost"})
print(json.dumps(json.load(urllib.request.urlopen(req))))' "$port" "$@"
}
field() { python3 -c 'import json,sys; print(json.loads(sys.argv[1])[sys.argv[2]])' "$1" "$2"; }

echo "== a drive on the stand-in"
account=$(control /accounts '{"tenant": "demo", "userCode": "kim", "name": "Kim"}')
session=$(field "$account" session)
control /seed "{\"session\": \"$session\", \"items\": [
  {\"path\": \"/Documents/plan.txt\", \"content\": \"$(printf 'first plan\n' | base64)\"},
  {\"path\": \"/Documents/Reports/2026.bin\", \"size\": 3000000},
  {\"path\": \"/Photos/beach.png\", \"size\": 250000},
  {\"path\": \"/readme.txt\", \"content\": \"$(printf 'hello\n' | base64)\"}]}" |
  python3 -c 'import json,sys; [print("  ", i["type"], i["path"]) for i in json.load(sys.stdin)["items"]]'

# The account's settings, as the sign-in would have stored them; a run
# starts from an empty folder and no database.
rm -rf "$folder"
rm -f "$build"/wineprefix/drive_c/users/*/AppData/Local/kim@demo-*.db
winfolder="Z:${folder//\//\\}"
reg() { "$build/wine-run.sh" reg "$@" >/dev/null; }
key='HKCU\SOFTWARE\Ostrel Corporation\BrelioDrive'
reg delete "$key" /f || true
reg add "$key" /v Account /t REG_SZ /d "kim@demo" /f
reg add "$key\\kim@demo" /v RootDir /t REG_SZ /d "$winfolder" /f
reg add "$key\\kim@demo" /v SessionId /t REG_SZ /d "$session" /f

driver() { printf '%s\n' "$@" | "$build/wine-run.sh" "$build/tests/engine/driver/brelio_engine_driver.exe" | tr -d '\r'; }

echo "== first full sync into the empty folder $folder"
driver start full wait quit | grep -E '"item"|"event"' | sed 's/^/   /'
echo "== the folder now holds"
(cd "$folder" && find . -type f ! -name '$$$*' | sort | while read -r f; do printf '   %-32s %8s bytes\n' "$f" "$(stat -c %s "$f")"; done)

echo "== a local edit, then a second full sync"
printf 'second plan\n' > "$folder/Documents/plan.txt"
mkdir -p "$folder/Notes" && printf 'new note\n' > "$folder/Notes/idea.txt"
driver start full wait quit | grep -E '"item"|"event"' | sed 's/^/   /'
echo "== the drive now holds"
control "/tree?session=$session" | python3 -c '
import json, sys
for i in sorted(json.load(sys.stdin)["items"], key=lambda i: i["path"]):
    if not i.get("trashed"):
        print("   %-6s %-32s %8s" % (i["type"], i["path"], i.get("size", "")))'
