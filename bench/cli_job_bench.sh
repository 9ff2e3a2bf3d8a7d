#!/usr/bin/env bash
# fleetset-cli run upgrading a simulated fleet: a 100-device job, then 1000 devices with
# --parallel 100, against ten times the first; the command line's peak resident memory.
#
#     scripts/netlab.sh bench/cli_job_bench.sh [build/default] [SPEED]
set -euo pipefail
build=${1:-build/default}
export FLEETSET_TIME_SPEED=${2:-20}
sim=$build/sim/fleetset-sim
cli=$build/cli/fleetset-cli
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT

"$sim" mkfw --out "$work/fw.update" --version 2.5.0 --size 16M >/dev/null
"$sim" --count 1000 --reboot-ms 20000 >/dev/null 2>&1 &
sleep 2

# Prints "seconds peak_kib devices_upgraded" for one run.
run() {
  local label=$1; shift
  /usr/bin/time -f '%e %M' -o "$work/time" \
    "$cli" run --seconds 3 --upgrade "$work/fw.update" --format json --report-file "$work/$label.json" "$@" \
    2>/dev/null || true
  local ok
  ok=$(jq '[.[] | select(.steps.upgrade == "ok")] | length' "$work/$label.json")
  read -r seconds kib <"$work/time"
  # The search before the job (3 s of system time) is not part of it.
  seconds=$(echo "$seconds - 3 / $FLEETSET_TIME_SPEED" | bc -l)
  echo "$seconds $kib $ok"
}

macs=$(seq 1 100 | while read -r n; do printf '00:1A:2B:00:%02X:%02X,' $((n / 256)) $((n % 256)); done)
read -r t100 kib100 ok100 < <(run hundred --mac "${macs%,}")
read -r t1000 kib1000 ok1000 < <(run thousand --all --parallel 100)
printf 'speed %s: 100 devices %.1f s (%s upgraded, peak %d KiB); 1000 devices with --parallel 100 %.1f s (%s upgraded, peak %d KiB); ratio to 10 x 100 %.2f\n' \
  "$FLEETSET_TIME_SPEED" "$t100" "$ok100" "$kib100" "$t1000" "$ok1000" "$kib1000" "$(echo "$t1000 / (10 * $t100)" | bc -l)"
