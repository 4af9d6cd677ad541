#!/usr/bin/env bash
# Runs the REST benchmark: the client under Wine beside its references, the
# same requests against the same stand-in, in turns within each round:
#   raw  plain synchronous WinHTTP under the same Wine (bench/reference/),
#        the upload written in pieces of 64 KiB to 8 MiB;
#   py   Python's http.client.
# Figures: metadata requests/s; the same small answer through the bare
# request, read into memory as it arrives and read in whole pieces into a
# file (side by side: what reading as it arrives costs); upload MB/s
# (UploadFile, which reads the file in place, and the request alone), download
# MB/s. Printed as min and median over the rounds, with the client's ratio
# to each reference.
# Usage: bench/rest_bench.sh [build-folder] [metadata requests] [upload MiB] [rounds]
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
count=${2:-2000}
mib=${3:-512}
rounds=${4:-5}
state="$build/bench-standin"
work="$build/scratch/bench"
rm -rf "$work"
mkdir -p "$work"

source "$top/bench/bench_standin.sh"

account=$(control /accounts '{"tenant": "bench", "userCode": "b@bench", "name": "Bench"}')
session=$(field "$account" '["session"]')
domain=$(field "$account" '["tenantDomain"]')
seeded=$(control /seed "{\"session\": \"$session\", \"items\": [{\"path\": \"/meta.txt\", \"size\": 100}]}")
file_id=$(field "$seeded" '["items"][0]["id"]')
header=$(printf 'SESSION: %s\r\nBrelio-Tenant-Domain: %s' "$session" "$domain")

head -c "$((mib * 1024 * 1024))" /dev/urandom > "$work/upload.bin"
win_upload="Z:${work//\//\\}\\upload.bin"
win_download="Z:${work//\//\\}\\download.bin"

figures="$work/figures.txt"
: > "$figures"
# Runs one contender's command and keeps its "name value unit" lines (ids
# aside) under the contender's name; a failed run shows what it printed.
run() {
  local who=$1 out="$work/last-run.txt"
  shift
  if ! "$@" > "$out" 2>&1; then
    echo "$who failed: $*" >&2
    cat "$out" >&2
    exit 1
  fi
  tr -d '\r' < "$out" | grep -v '^uploaded-id' | sed "s/^/$who /" | tee -a "$figures" >&2
}
uploaded_id() { tr -d '\r' < "$work/last-run.txt" | sed -n 's/^uploaded-id //p' | tail -1; }
client() { "$build/wine-run.sh" "$build/bench/RestBench.exe" "$header" "$@"; }
raw() { "$build/wine-run.sh" "$build/bench/$1.exe" "$port" "$session" "$domain" "${@:2}"; }
py() { python3 "$top/bench/python_client.py" "$1" "$port" "$session" "$domain" "${@:2}"; }
same_content() { cmp -s "$work/upload.bin" "$work/download.bin" || { echo "download differs from upload" >&2; exit 1; }; }

for round in $(seq 1 "$rounds"); do
  echo "== round $round of $rounds" >&2
  run raw raw RawGetLoop "$file_id" "$count"
  run client client metadata "$file_id" "$count"
  run client client small-to-memory "$file_id" "$count"
  run client client small-to-file "$file_id" "$count"
  run py py metadata "$file_id" "$count"

  # Each upload makes a new file: names of this round.
  ln -f "$work/upload.bin" "$work/upload-$round.bin"
  for piece in 64 256 1024 4096 8192; do
    run raw raw RawTransfer upload "$win_upload" "$piece" "raw-$round-$piece.bin"
  done
  run py py upload "$work/upload.bin" "python-$round.bin"
  run client client upload "Z:${work//\//\\}\\upload-$round.bin" "request-$round.bin"
  id=$(uploaded_id)

  run raw raw RawTransfer download "$id" "$win_download"; same_content
  run client client download "$id" "$win_download"; same_content
  run py py download "$id" "$work/download.bin"; same_content
done

echo
echo "REST client (client) beside plain WinHTTP (raw) and Python (py), $rounds rounds,"
echo "$count metadata requests and a $mib MiB file per round; raw's upload at its best piece size"
python3 "$top/bench/figures.py" "$figures" client raw py \
  --best upload=upload- --best upload-request=upload- \
  --goal metadata:raw=0.9 --goal upload-request:raw=0.9 --compare small-to-memory/small-to-file
