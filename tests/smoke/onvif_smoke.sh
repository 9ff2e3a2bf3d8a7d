#!/usr/bin/env bash
# fleetset-cli discover among genuine simulated ONVIF cameras and a hostile one that answers
# every probe with oversized, deeply nested and entity-laden matches and whose device service
# lies about lengths: every genuine camera is still listed once and read, the output stays
# printable, and the program's memory stays bounded. Runs inside scripts/netlab.sh.
#   tests/smoke/onvif_smoke.sh FLEETSET_SIM FLEETSET_CLI [MAX_RSS_KIB]   (0 or none: not checked)
set -euo pipefail
sim=$(realpath "$1")
cli=$(realpath "$2")
max_rss=${3:-0}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "onvif_smoke: $*" >&2; exit 1; }

"$sim" --count 5 --onvif --admin-password smoke >"$work/sim.log" 2>&1 & pids+=($!)
"$here/../../scripts/netlab.sh" --cameras python3 "$here/hostile_onvif.py" & pids+=($!)
sleep 1.5
printf 'smoke\n' >"$work/pw"
cd "$work"
/usr/bin/time -f '%M' -o "$work/rss" "$cli" discover --format json --password-file "$work/pw" >"$work/out.json" ||
  fail "discover failed"
jq -e 'map(select(.protocol == "onvif" and (.model == "IPC-3516") and .software_ver == "2.4.1")) | length == 5' \
  "$work/out.json" >/dev/null || fail "not every genuine camera was listed and read: $(cat "$work/out.json")"
jq -e 'map(select(.mac != "") | .mac) | length == (unique | length)' "$work/out.json" >/dev/null ||
  fail "a camera listed twice"
jq -e 'map(select(.ip == "10.77.66.6" and .software_ver == "(not read)")) | length == (map(select(.ip == "10.77.66.6")) | length)' \
  "$work/out.json" >/dev/null || fail "the hostile camera was read: $(cat "$work/out.json")"
LC_ALL=C grep -q '[^[:print:][:space:]]' "$work/out.json" && fail "unprintable bytes in the listing"
rss_kb=$(cat "$work/rss")
[ "$max_rss" = 0 ] || [ "$rss_kb" -lt "$max_rss" ] || fail "discover grew to $rss_kb KiB"
echo "onvif_smoke: 5 genuine cameras listed and read beside a hostile one; peak $rss_kb KiB"
