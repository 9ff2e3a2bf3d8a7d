#!/usr/bin/env bash
# fleetset-cli run upgrading a simulated fleet: a 100-device job, then 1000 devices with
# --parallel 100, against ten times the first; the command line's peak resident memory.
# --short, for CI: 10 devices, then 20 with --parallel 10.
#
#     scripts/netlab.sh bench/cli_job_bench.sh [--short] [build/default] [SPEED]
#
# A fleet that does not answer, or a job that leaves a device not upgraded, ends the run with
# the reason on standard error and exit code 1.
set -euo pipefail
small=100 fleet=1000 parallel=100
if [ "${1:-}" = "--short" ]; then
  small=10 fleet=20 parallel=10
  shift
fi
build=${1:-build/default}
export FLEETSET_TIME_SPEED=${2:-20}
sim=$build/sim/fleetset-sim
cli=$build/cli/fleetset-cli
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; wait 2>/dev/null; rm -rf "$work"' EXIT

give_up() {
  echo "cli_job_bench: gave up: $*" >&2
  exit 1
}
. "$(dirname "$0")/start_fleet.sh"

"$sim" mkfw --out "$work/fw.update" --version 2.5.0 --size 16M >/dev/null || give_up "cannot write the firmware file"
start_fleet --count "$fleet" --reboot-ms 20000

# Sets seconds, kib and ok for one run; gives up unless every chosen device was upgraded.
run() {
  local label=$1 devices=$2; shift 2
  /usr/bin/time -f '%e %M' -o "$work/time" \
    "$cli" run --seconds 3 --upgrade "$work/fw.update" --format json --report-file "$work/$label.json" "$@" \
    2>"$work/$label.err" || true
  [ -s "$work/$label.json" ] || give_up "the $label job wrote no report: $(tail -n 1 "$work/$label.err")"
  ok=$(jq '[.[] | select(.steps.upgrade == "ok")] | length' "$work/$label.json")
  [ "$ok" -eq "$devices" ] || give_up "the $label job upgraded $ok of $devices devices: $(tail -n 1 "$work/$label.err")"
  read -r seconds kib <"$work/time"
  # The search before the job (3 s of system time) is not part of it.
  seconds=$(echo "$seconds - 3 / $FLEETSET_TIME_SPEED" | bc -l)
}

macs=$(seq 1 "$small" | while read -r n; do printf '00:1A:2B:00:%02X:%02X,' $((n / 256)) $((n % 256)); done)
run first "$small" --mac "${macs%,}"
t_small=$seconds kib_small=$kib ok_small=$ok
run whole "$fleet" --all --parallel "$parallel"
t_fleet=$seconds kib_fleet=$kib ok_fleet=$ok
printf 'speed %s: %d devices %.1f s (%s upgraded, peak %d KiB); %d devices with --parallel %d %.1f s (%s upgraded, peak %d KiB); ratio to %d x %d %.2f\n' \
  "$FLEETSET_TIME_SPEED" "$small" "$t_small" "$ok_small" "$kib_small" "$fleet" "$parallel" "$t_fleet" "$ok_fleet" \
  "$kib_fleet" $((fleet / small)) "$small" "$(echo "$t_fleet / ($((fleet / small)) * $t_small)" | bc -l)"
