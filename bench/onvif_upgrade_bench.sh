#!/usr/bin/env bash
# fleetset-cli run upgrading 100 simulated ONVIF cameras with a 16 MB image: the time from
# launch to the last end report against its floor, and the command line's peak resident
# memory (target: at most 32 MB). The floor is what no client can avoid: the search it is
# told to make, the camera's UploadDelay and ExpectedDownTime (scaled), and the transfer of
# the same bytes over the same link into a sink that only reads (measured first, in real
# time); the cameras are back before their down time ends, so finding them again costs no
# wait of its own. Target: within 5% over it. --short, for CI: 10 cameras, a 1 MB image, speed 10.
#
#     scripts/netlab.sh bench/onvif_upgrade_bench.sh [--short] [build/default] [SPEED]
#
# A fleet that does not answer, a transfer that cannot be measured, or a job that leaves a
# camera not upgraded ends the run with the reason on standard error and exit code 1.
set -euo pipefail
cameras=100 size=16M speed=1
if [ "${1:-}" = "--short" ]; then
  cameras=10 size=1M speed=10
  shift
fi
build=${1:-build/default}
speed=${2:-$speed}
export FLEETSET_TIME_SPEED=$speed
sim=$build/sim/fleetset-sim
cli=$build/cli/fleetset-cli
lab=$(dirname "$0")/../scripts/netlab.sh
search_s=2 upload_delay_s=1 down_s=10
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; wait 2>/dev/null; rm -rf "$work"' EXIT

give_up() {
  echo "onvif_upgrade_bench: gave up: $*" >&2
  exit 1
}
. "$(dirname "$0")/start_fleet.sh"
[ "${FLEETSET_IN_LAB:-}" = 1 ] || give_up "run it inside scripts/netlab.sh"
"$sim" mkfw --out "$work/fw.update" --version 2.5.0 --size "$size" >/dev/null || give_up "cannot write the firmware file"
bytes=$(stat -c %s "$work/fw.update")

# The transfer's floor: every camera's copy, back to back in one stream over the lab's link,
# into a reader on the camera side that keeps nothing.
cat >"$work/sink.py" <<'PY'
import socket
server = socket.create_server(("10.77.0.253", 8000))
print("listening", flush=True)
conn, _ = server.accept()
buffer = bytearray(1 << 20)
while conn.recv_into(buffer) > 0:
    pass
conn.sendall(b"ok")
PY
cat >"$work/send.py" <<'PY'
import socket, sys, time
path, copies = sys.argv[1], int(sys.argv[2])
conn = socket.create_connection(("10.77.0.253", 8000))
began = time.monotonic()
with open(path, "rb") as image:
    for _ in range(copies):
        conn.sendfile(image, 0)
conn.shutdown(socket.SHUT_WR)
if conn.recv(2) != b"ok":
    sys.exit(1)
print(f"{time.monotonic() - began:.3f}")
PY
: >"$work/sink.out"
"$lab" --cameras python3 "$work/sink.py" >"$work/sink.out" 2>&1 &
for _ in $(seq 50); do grep -q listening "$work/sink.out" && break; sleep 0.1; done
grep -q listening "$work/sink.out" || give_up "the transfer's sink did not start: $(tail -n 1 "$work/sink.out")"
transfer_s=$(python3 "$work/send.py" "$work/fw.update" "$cameras" 2>"$work/send.err") \
  || give_up "the copies did not reach the sink: $(tail -n 1 "$work/send.err")"
wait %1 2>/dev/null || true

echo "{ \"onvif\": { \"upload_delay_s\": $upload_delay_s, \"expected_down_time_s\": $down_s } }" >"$work/fleet.json"
# Back from the reboot within the camera's own down time: its Hello is heard during the wait.
start_fleet --config "$work/fleet.json" --count "$cameras" --onvif --reboot-ms $((down_s * 1000 / 2))

last=10.77.1.$cameras
/usr/bin/time -f '%e %M' -o "$work/time" \
  "$cli" run --all --protocol onvif --probe-range "10.77.1.1-$last" --seconds "$search_s" --upgrade "$work/fw.update" \
  --format json --report-file "$work/report.json" 2>"$work/run.err" || true
[ -s "$work/report.json" ] || give_up "the job wrote no report: $(tail -n 1 "$work/run.err")"
ok=$(jq '[.[] | select(.steps.upgrade == "ok" and .version_after == "2.5.0" and .end_reports == 1)] | length' "$work/report.json")
[ "$ok" -eq "$cameras" ] || give_up "the job upgraded $ok of $cameras cameras: $(tail -n 1 "$work/run.err")"
read -r seconds kib <"$work/time"

floor=$(echo "($search_s + $upload_delay_s + $down_s) / $speed + $transfer_s" | bc -l)
printf 'speed %s: %d ONVIF cameras, %d-byte image: %.2f s from launch to the last end report, floor %.2f s' \
  "$speed" "$cameras" "$bytes" "$seconds" "$floor"
printf ' (search %d s + UploadDelay %d s + ExpectedDownTime %d s scaled, transfer %.2f s): %+.1f%% (target at most +5%%);' \
  "$search_s" "$upload_delay_s" "$down_s" "$transfer_s" "$(echo "($seconds / $floor - 1) * 100" | bc -l)"
printf ' peak resident %d KiB (target at most 32768)\n' "$kib"
