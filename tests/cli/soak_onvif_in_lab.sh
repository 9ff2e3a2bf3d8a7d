#!/usr/bin/env bash
# Soak over ONVIF: 100 simulated ONVIF cameras with a real site's fault mix (busy answers,
# uploads abandoned midway, cameras that never come back, cameras back on their old version)
# and one upgrade-and-clock job at high speed. Every device must end exactly once with the
# mark its fault calls for; then the same job is interrupted at a random moment and must end
# within a scaled second of the signal with a complete report.
# Usage: soak_onvif_in_lab.sh FLEETSET_SIM FLEETSET_CLI
. "$(dirname "$0")/lab_job.sh" "$@"
speed=50  # as the own soak: faster leaves a loaded machine too little real time per call
export FLEETSET_TIME_SPEED=$speed
# A multicast probe is answered within a budget a fleet of 100 takes seconds to drain; the
# unicast range is answered at once.
job=(run --all --protocol onvif --probe-range 10.77.1.1-10.77.1.100 --upgrade fw.update --sync-time --format json --seconds 20)
# The reboot (3 s) ends within the camera's own down time, so the wait is the camera's word.
echo '{ "onvif": { "upload_delay_s": 1, "expected_down_time_s": 5 } }' > fleet.json

fleet=(--config fleet.json --count 100 --onvif --fault-mix 7 --reboot-ms 3000 --record-file record.json)
complete() {
  jq -e 'length == 100 and all(.[]; .end_reports == 1 and (.status_codes | length) > 0)' "$1" > /dev/null
}

"$sim" mkfw --out fw.update --version 2.5.0 --size 256K > /dev/null
start_fleet 100 "${fleet[@]}"
rc=0
began=$(date +%s%N)
timeout 120 "$cli" "${job[@]}" > soak.json 2> soak.err || rc=$?
took=$(( ($(date +%s%N) - began) / 1000000 ))  # ms, for a random moment inside the second run
[ "$rc" -ne 124 ] || fail "the job hung"
[ "$rc" -eq 1 ] || { tail soak.err; fail "a fleet with lost cameras must fail the run, exit $rc"; }
stop_fleet
complete soak.json || { jq -c '.[] | select(.end_reports != 1)' soak.json | head; fail "a device did not end exactly once"; }

# Each camera's fault, from what it went through: the mix of seed 7 has 2 lost, 2 back on the
# old version, 5 that drop every upload, and about 10 busy, none in two groups.
jq -r '.cameras[] | [.mac_address,
    if (.online | not) then "lost"
    elif any(.received.upgrades[]; .outcome == "dropped") then "dropped"
    elif any(.received.upgrades[]; .outcome == "complete") and .software_ver != "2.5.0" then "old"
    elif any(.received.onvif[]; .detail == "busy") then "busy"
    else "clean" end] | @tsv' record.json > faults.tsv
count() { awk -v f="$1" '$2 == f' faults.tsv | wc -l; }
[ "$(count lost)" -eq 2 ] && [ "$(count old)" -eq 2 ] && [ "$(count dropped)" -eq 5 ] && [ "$(count busy)" -ge 5 ] \
  || { sort -k2 faults.tsv | awk '$2 != "clean"'; fail "the fleet did not show the fault mix"; }
while read -r mac fault; do
  case $fault in
    lost | dropped) want='.steps.upgrade == "failed"' ;;
    old) want='.steps.upgrade == "failed" and .version_after == "2.4.1"' ;;
    *) want='.steps.upgrade == "ok" and .version_after == "2.5.0" and .steps.time_sync == "ok"' ;;
  esac
  jq -e --arg mac "$mac" ".[] | select(.mac == \$mac) | .protocol == \"onvif\" and $want" soak.json > /dev/null \
    || { jq -c --arg mac "$mac" '.[] | select(.mac == $mac)' soak.json; fail "$mac ($fault): expected $want"; }
done < faults.tsv

# The same job, stopped by SIGINT at a random moment after it started: it ends within one
# scaled second of the signal, plus a real second for a loaded machine: the calls in flight
# (logins, version reads, clock sets) are real time, up to 0.5 s for 100 workers.
start_fleet 100 "${fleet[@]}"
"$cli" "${job[@]}" > stopped.json 2> stopped.err &
cli_pid=$!
for _ in $(seq 200); do grep -q " running " stopped.err && break; sleep 0.05; done
sleep "$(awk -v ms="$took" 'BEGIN { srand(); printf "%.2f", rand() * ms * 0.7 / 1000 }')"
signalled=$(date +%s%N)
kill -INT "$cli_pid" || fail "the job had ended before the signal"
for _ in $(seq 1000); do kill -0 "$cli_pid" 2>/dev/null || break; sleep 0.01; done
ended=$(date +%s%N)
if kill -0 "$cli_pid" 2>/dev/null; then kill -KILL "$cli_pid"; fail "still running ten seconds after SIGINT"; fi
rc=0; wait "$cli_pid" || rc=$?
[ "$rc" -le 1 ] || { tail stopped.err; fail "exit $rc after SIGINT"; }
scaled=$(awk -v ns=$((ended - signalled)) -v s="$speed" 'BEGIN { printf "%.1f", ns / 1e9 * s }')
awk -v ns=$((ended - signalled)) -v s="$speed" 'BEGIN { exit !(ns / 1e9 <= 1 / s + 1) }' \
  || fail "ended $scaled scaled seconds after SIGINT"
complete stopped.json || { tail stopped.err; fail "the report after SIGINT is not complete"; }
echo "ok: 100 ONVIF cameras, $(awk '$2 != "clean"' faults.tsv | wc -l) with faults, each marked as its fault calls for;" \
  "$(jq '[.[] | select(.stopped)] | length' stopped.json) stopped by SIGINT in $scaled scaled s"
