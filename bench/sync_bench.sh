#!/usr/bin/env bash
# Runs the sync benchmark: the engine under Wine (its three threads, as the
# program starts them) beside the plain Python tree client, the same trees
# against the same stand-in in the same run.
#   files/s of a first full sync of FILES small files in FOLDERS folders,
#   down (drive -> empty folder) and up (folder -> empty drive);
#   the time from a local save to its upload with a short idle time;
#   the engine's CPU time over a minute of idle.
# Usage: bench/sync_bench.sh [build-folder] [files] [folders]
# It rewrites the program's settings in the build's Wine prefix. Every run
# starts clean, so that runs compare: a new stand-in, new accounts, fresh
# folders, and the engine deletes its database of the account and folder
# before it starts.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
files=${2:-10000}
folders=${3:-1000}
state="$build/bench-standin"
work="$build/scratch/sync-bench"
rm -rf "$work"
mkdir -p "$work"

source "$top/bench/bench_standin.sh"
# A new account: "tenant session domain".
account() {
  local answer
  answer=$(control /accounts "{\"tenant\": \"$1\", \"userCode\": \"b@$1\", \"name\": \"Bench\"}")
  echo "$1 $(field "$answer" '["session"]') $(field "$answer" '["tenantDomain"]')"
}
seed_tree() {
  python3 - "$port" "$1" "$files" "$folders" <<'PY'
import json, sys, urllib.request
port, session, files, folders = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
items = [{"path": "/d%04d" % d, "type": "folder"} for d in range(folders)]
items += [{"path": "/d%04d/f%05d.txt" % (i % folders, i), "type": "file", "size": 200} for i in range(files)]
req = urllib.request.Request("http://127.0.0.1:%s/_control/seed" % port,
                             data=json.dumps({"session": session, "items": items}).encode(), headers={"Host": "localhost"})
urllib.request.urlopen(req).read()
PY
}
make_tree() {
  python3 - "$1" "$files" "$folders" <<'PY'
import os, sys
root, files, folders = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
for d in range(folders):
    os.makedirs(os.path.join(root, "d%04d" % d), exist_ok=True)
for i in range(files):
    with open(os.path.join(root, "d%04d" % (i % folders), "f%05d.txt" % i), "wb") as f:
        f.write(bytes((j * 7 + i) & 0xFF for j in range(200)))
PY
}
winpath() { echo "Z:${1//\//\\}"; }
engine() { "$build/wine-run.sh" "$build/bench/SyncBench.exe" "$@" | tr -d '\r'; }
rate() { sed -n 's/^files\/s //p'; }

read -r t s d <<<"$(account pydown)"; seed_tree "$s"
mkdir -p "$work/py-down"
py_down=$(python3 "$top/bench/python_sync_client.py" down "$port" "$s" "$d" "$work/py-down" | rate)

read -r t s d <<<"$(account enginedown)"; seed_tree "$s"
mkdir -p "$work/engine-down"
engine_down=$(engine full "$t" "$s" "$(winpath "$work/engine-down")" "$files" | rate)

make_tree "$work/up-source"
read -r t s d <<<"$(account pyup)"
py_up=$(python3 "$top/bench/python_sync_client.py" up "$port" "$s" "$d" "$work/up-source" | rate)

make_tree "$work/engine-up"
read -r t s d <<<"$(account engineup)"
engine_up=$(engine full "$t" "$s" "$(winpath "$work/engine-up")" "$files" | rate)

read -r t s d <<<"$(account enginesave)"
mkdir -p "$work/engine-save"
save=$(engine save "$t" "$s" "$(winpath "$work/engine-save")" 500 | sed -n 's/^save-to-upload-ms //p')

read -r t s d <<<"$(account engineidle)"
mkdir -p "$work/engine-idle"
idle=$(engine idle "$t" "$s" "$(winpath "$work/engine-idle")" 60 | sed -n 's/^idle-cpu-seconds //p')

echo "each figure from a new account, an empty database and a fresh folder"
printf '%-28s %12s %12s\n' "" "engine" "python"
printf '%-28s %12s %12s\n' "full sync down, files/s" "$engine_down" "$py_down"
printf '%-28s %12s %12s\n' "full sync up, files/s" "$engine_up" "$py_up"
printf '%-28s %12s %12s\n' "save to upload (idle 500), ms" "$save" "-"
printf '%-28s %12s %12s\n' "CPU over 60 s idle, s" "$idle" "-"
