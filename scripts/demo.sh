#!/usr/bin/env bash
# Installs what is missing, builds, starts the local service stand-in with a
# small drive, and runs the client's REST work against it under Wine.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
"$top/scripts/bootstrap.sh"
cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" -DBRELIO_DEV_BUILD=ON >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null
port=$(sed -n 's/^BRELIO_STANDIN_PORT:STRING=//p' "$build/CMakeCache.txt")
state="$build/demo-standin"

python3 "$top/tests/standin/fixture.py" start --port "$port" --state-dir "$state"
trap 'python3 "$top/tests/standin/fixture.py" stop --port "$port" --state-dir "$state" >/dev/null' EXIT
"$build/wine-prepare.sh"

control() { python3 - "$port" "$@" <<'PY'
import json, sys, urllib.request
port, path, body = sys.argv[1], sys.argv[2], sys.argv[3]
req = urllib.request.Request("http://127.0.0.1:%s/_control%s" % (port, path), data=body.encode(),
                             headers={"Content-Type": "application/json", "Host": "localhost"})
print(json.dumps(json.load(urllib.request.urlopen(req))))
PY
}
account=$(control /accounts '{"tenant": "demo", "userCode": "kim@demo", "name": "Kim"}')
session=$(python3 -c 'import json,sys; print(json.loads(sys.argv[1])["session"])' "$account")
control /seed "{\"session\": \"$session\", \"items\": [
  {\"path\": \"/Documents/plan.txt\", \"content\": \"$(printf 'first plan\n' | base64)\"},
  {\"path\": \"/Photos\", \"type\": \"folder\"}]}" >/dev/null

sample="$build/scratch/demo-upload.bin"
mkdir -p "$(dirname "$sample")"
head -c 3000000 /dev/urandom > "$sample"
header=$(printf 'SESSION: %s\r\nBrelio-Tenant-Domain: demo.localhost' "$session")
"$build/wine-run.sh" "$build/tests/tools/RestDemo.exe" "$header" "Z:${sample//\//\\}"
cmp "$sample" "$sample.downloaded" && echo "round trip: identical"
