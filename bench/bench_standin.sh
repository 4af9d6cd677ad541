# Sourced by the benchmark scripts, after they set $top, $build, $state and
# $work: starts the build's stand-in for the run (the client's base address
# names the build's stand-in port, so a test run must not hold it), warms
# the Wine prefix, and offers `control PATH JSON` and `field JSON EXPR`.
port=$(sed -n 's/^BRELIO_STANDIN_PORT:STRING=//p' "$build/CMakeCache.txt")
python3 "$top/tests/standin/fixture.py" start --port "$port" --state-dir "$state" -- --quiet >/dev/null
trap 'python3 "$top/tests/standin/fixture.py" stop --port "$port" --state-dir "$state" >/dev/null; rm -rf "$work"' EXIT
"$build/wine-prepare.sh"

control() {
  python3 -c '
import json, sys, urllib.request
req = urllib.request.Request("http://127.0.0.1:%s/_control%s" % (sys.argv[1], sys.argv[2]),
                             data=sys.argv[3].encode(), headers={"Host": "localhost"})
print(json.dumps(json.load(urllib.request.urlopen(req))))' "$port" "$1" "$2"
}
field() { python3 -c 'import json,sys; d=json.loads(sys.argv[1]); print(eval("d"+sys.argv[2]))' "$1" "$2"; }
