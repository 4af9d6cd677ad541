#!/usr/bin/env bash
# Runs the sync benchmark: the engine under Wine (its three threads, as the
# program starts them) beside its references, the same trees against the
# same stand-in, in turns within each round:
#   raw  a minimal tree client on plain synchronous WinHTTP under the same
#        Wine (bench/reference/RawTreeClient.cpp);
#   py   the same tree client on Python's http.client.
# Figures: files/s of a first full sync of FILES small files in FOLDERS
# folders, down (drive -> empty folder) and up (folder -> empty drive),
# with the engine's peak working set; printed as min and median over the
# rounds with the engine's ratio to each reference. Then the scale row:
# the engine's first sync down and up of each tree size in SIZES (files in
# folders of 10), files/s and peak working set, so that a cost growing
# faster than the tree shows; and once the time from a local save to its
# upload with a short idle time, and the engine's CPU time over a minute
# of idle.
# Usage: bench/sync_bench.sh [build-folder] [files] [folders] [rounds] [sizes]
#   defaults: 2000 files in 200 folders, 3 rounds, sizes "1000 5000"
#   (add 20000 to the sizes for the large row: some ten minutes more).
# It rewrites the program's settings in the build's Wine prefix (SyncBench
# sets every one the figures depend on). Every run starts clean, so that
# runs compare: a new account, a fresh folder, and the engine deletes its
# database of the account and folder before it starts.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
files=${2:-2000}
folders=${3:-200}
rounds=${4:-3}
sizes=${5:-1000 5000}
state="$build/bench-standin"
work="$build/scratch/sync-bench"
rm -rf "$work"
mkdir -p "$work"

source "$top/bench/bench_standin.sh"
serial=0
# A new account: "tenant session domain".
account() {
  local answer
  serial=$((serial + 1))
  answer=$(control /accounts "{\"tenant\": \"$1$serial\", \"userCode\": \"b@$1$serial\", \"name\": \"Bench\"}")
  echo "$1$serial $(field "$answer" '["session"]') $(field "$answer" '["tenantDomain"]')"
}
seed_tree() { # session files folders
  python3 - "$port" "$1" "$2" "$3" <<'PY'
import json, sys, urllib.request
port, session, files, folders = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
items = [{"path": "/d%04d" % d, "type": "folder"} for d in range(folders)]
items += [{"path": "/d%04d/f%05d.txt" % (i % folders, i), "type": "file", "size": 200} for i in range(files)]
# In batches: the stand-in holds each seeded file open until its seed is
# done, and a large tree would run it out of file handles.
for first in range(0, len(items), 2000):
    req = urllib.request.Request("http://127.0.0.1:%s/_control/seed" % port,
                                 data=json.dumps({"session": session, "items": items[first:first + 2000]}).encode(),
                                 headers={"Host": "localhost"})
    urllib.request.urlopen(req).read()
PY
}
make_tree() { # folder files folders
  python3 - "$1" "$2" "$3" <<'PY'
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

figures="$work/figures.txt"
: > "$figures"
# Runs one contender and keeps its "name value unit" lines as
# "contender direction-name value unit"; a failed run shows what it printed.
run() { # who direction command...
  local who=$1 direction=$2 out="$work/last-run.txt"
  shift 2
  if ! "$@" > "$out" 2>&1; then
    echo "$who $direction failed: $*" >&2
    cat "$out" >&2
    exit 1
  fi
  tr -d '\r' < "$out" | grep -E '^(files/s|peak-working-set) ' | sed "s/^/$who $direction-/" | tee -a "$figures" >&2
}
engine() { "$build/wine-run.sh" "$build/bench/SyncBench.exe" "$@"; }
raw() { "$build/wine-run.sh" "$build/bench/RawTreeClient.exe" "$port" "$@"; }
py() { python3 "$top/bench/python_sync_client.py" "$1" "$port" "${@:2}"; }

# One first sync of a contender: "down|up who files folders". Down fills
# the drive and syncs into an empty folder; up syncs a filled folder to an
# empty drive.
first_sync() {
  local direction=$1 who=$2 n=$3 f=$4 t s d dir
  read -r t s d <<<"$(account "$who")"
  dir="$work/$t"
  if [ "$direction" = down ]; then seed_tree "$s" "$n" "$f"; mkdir -p "$dir"; else make_tree "$dir" "$n" "$f"; fi
  case $who in
    engine) run engine "$direction" engine full "$t" "$s" "$(winpath "$dir")" "$n" ;;
    raw) run raw "$direction" raw "$s" "$d" "$direction" "$(winpath "$dir")" ;;
    py) run py "$direction" py "$direction" "$s" "$d" "$dir" ;;
  esac
  rm -rf "$dir"
}

for round in $(seq 1 "$rounds"); do
  echo "== round $round of $rounds" >&2
  for direction in down up; do
    for who in raw engine py; do first_sync "$direction" "$who" "$files" "$folders"; done
  done
done

scale="$work/scale.txt"
: > "$scale"
main_figures=$figures
for n in $sizes; do
  echo "== scale: $n files" >&2
  figures="$work/scale-$n.txt"
  : > "$figures"
  first_sync down engine "$n" $((n / 10))
  first_sync up engine "$n" $((n / 10))
  sed "s/^engine /$n /" "$figures" >> "$scale"
done
figures=$main_figures

read -r t s d <<<"$(account enginesave)"
mkdir -p "$work/engine-save"
save=$(engine save "$t" "$s" "$(winpath "$work/engine-save")" 500 | tr -d '\r' | sed -n 's/^save-to-upload-ms //p')
read -r t s d <<<"$(account engineidle)"
mkdir -p "$work/engine-idle"
idle=$(engine idle "$t" "$s" "$(winpath "$work/engine-idle")" 60 | tr -d '\r' | sed -n 's/^idle-cpu-seconds //p')

echo
echo "First full sync of $files files in $folders folders, $rounds rounds: the engine beside a tree client"
echo "on plain WinHTTP (raw) and on Python (py); each figure from a new account, database and folder"
python3 "$top/bench/figures.py" "$figures" engine raw py \
  --goal down-files/s:raw=0.2 --goal up-files/s:raw=0.2
echo
echo "Scale row: the engine's first full sync, files in folders of 10"
python3 - "$scale" <<'PY'
import sys
rows = {}
for line in open(sys.argv[1]):
    n, figure, value = line.split()[:3]
    rows.setdefault(int(n), {})[figure] = float(value)
# The growth of the peak per file beyond the smallest tree: flat when memory
# grows no faster than the tree.
print("%8s %13s %14s %11s %12s %17s" % ("files", "down files/s", "down peak MiB", "up files/s", "up peak MiB",
                                       "KiB/file growth"))
first = min(rows) if rows else 0
def peak(r):
    return max(r.get("down-peak-working-set", 0), r.get("up-peak-working-set", 0))
for n in sorted(rows):
    r = rows[n]
    growth = "-" if n == first else "%.2f" % ((peak(r) - peak(rows[first])) * 1024 / (n - first))
    print("%8d %13.1f %14.1f %11.1f %12.1f %17s" % (n, r.get("down-files/s", 0), r.get("down-peak-working-set", 0),
                                                   r.get("up-files/s", 0), r.get("up-peak-working-set", 0), growth))
PY
echo
printf '%-34s %10s\n' "save to upload (idle 500), ms" "$save"
printf '%-34s %10s\n' "engine CPU over 60 s idle, s" "$idle"
