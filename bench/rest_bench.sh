#!/usr/bin/env bash
# Runs the REST benchmark: the client under Wine and a plain Python client,
# the same requests against the same stand-in, side by side.
# Usage: bench/rest_bench.sh [build-folder] [metadata requests] [upload MiB]
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
count=${2:-2000}
mib=${3:-1024}
state="$build/bench-standin"
work="$build/scratch/bench"
mkdir -p "$work"

source "$top/bench/bench_standin.sh"

account=$(control /accounts '{"tenant": "bench", "userCode": "b@bench", "name": "Bench"}')
session=$(field "$account" '["session"]')
domain=$(field "$account" '["tenantDomain"]')
seeded=$(control /seed "{\"session\": \"$session\", \"items\": [{\"path\": \"/meta.txt\", \"size\": 100}]}")
file_id=$(field "$seeded" '["items"][0]["id"]')

head -c "$((mib * 1024 * 1024))" /dev/urandom > "$work/upload.bin"

echo "== plain Python http.client"
python3 "$top/bench/python_client.py" "$port" "$session" "$domain" "$file_id" "$count" \
  "$work/upload.bin" "$work/python-download.bin" | tee "$work/python.txt"
echo "== Brelio REST client under Wine"
header=$(printf 'SESSION: %s\r\nBrelio-Tenant-Domain: %s' "$session" "$domain")
"$build/wine-run.sh" "$build/bench/RestBench.exe" "$header" "$file_id" "$count" \
  "Z:${work//\//\\}\\upload.bin" "Z:${work//\//\\}\\client-download.bin" | tr -d '\r' | tee "$work/client.txt"
cmp -s "$work/upload.bin" "$work/client-download.bin" || { echo "download differs from upload"; exit 1; }

echo "== client / Python"
join <(sort "$work/client.txt") <(sort "$work/python.txt") |
  awk '{ printf "%-9s %10s %-11s %10s  ratio %.2f\n", $1, $2, $3, $4, $2 / $4 }'
