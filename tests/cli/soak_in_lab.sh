#!/usr/bin/env bash
# Soak: 100 simulated cameras with the fault mix of a real site (busy answers, transfers
# dropped midway, cameras that never come back) and one upgrade-and-settings job at high
# speed. Every device must end exactly once, the lost ones with a failed upgrade, and nothing
# may hang; then the same job is interrupted at a random moment and must still end promptly
# with a complete report. Usage: soak_in_lab.sh FLEETSET_SIM FLEETSET_CLI
. "$(dirname "$0")/lab_job.sh" "$@"
export FLEETSET_TIME_SPEED=50  # --seconds 100 is two real seconds of search; faster leaves the SDK too little real time to connect on a loaded machine
job=(run --all --upgrade fw-2.5.0.update --time-zone 2 --format json --seconds 100)

fleet=(--count 100 --fault-mix 7 --reboot-ms 3000 --record-file record.json)

# Every device of the report made exactly one end report and took some time.
complete() {
  jq -e 'length == 100 and all(.[]; .end_reports == 1 and (.status_codes | length) > 0 and .seconds > 0)' "$1" > /dev/null
}

"$sim" mkfw --out fw-2.5.0.update --version 2.5.0 --size 256K > /dev/null
start_fleet 100 "${fleet[@]}"
rc=0
timeout 300 "$cli" "${job[@]}" > soak.json 2> soak.err || rc=$?
[ "$rc" -ne 124 ] || fail "the job hung"
[ "$rc" -eq 1 ] || { tail soak.err; fail "a fleet with lost cameras must fail the run, exit $rc"; }
stop_fleet
complete soak.json || { jq -c '.[] | select(.end_reports != 1)' soak.json | head; fail "a device did not end exactly once"; }
jq -e 'all(.[]; .steps.upgrade != "ok" or .version_after == "2.5.0")' soak.json > /dev/null \
  || fail "an upgrade counted as done on a device that does not run the new version"
lost=$(jq -r '.cameras[] | select(.online | not) | .mac_address' record.json)
[ -n "$lost" ] || fail "the fault mix lost no camera"
for mac in $lost; do
  jq -e --arg mac "$mac" '.[] | select(.mac == $mac) | .steps.upgrade == "failed"' soak.json > /dev/null \
    || fail "$mac never came back but its upgrade is not marked failed"
done

# The same job, stopped by SIGINT at a random moment after it started.
start_fleet 100 "${fleet[@]}"
"$cli" "${job[@]}" > stopped.json 2> stopped.err &
cli_pid=$!
for _ in $(seq 200); do grep -q " running " stopped.err && break; sleep 0.05; done
sleep "$(awk 'BEGIN { srand(); printf "%.2f", rand() * 2 }')"
kill -INT "$cli_pid"
for _ in $(seq 100); do kill -0 "$cli_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$cli_pid" 2>/dev/null; then kill -KILL "$cli_pid"; fail "still running ten seconds after SIGINT"; fi
rc=0; wait "$cli_pid" || rc=$?
[ "$rc" -le 1 ] || { tail stopped.err; fail "exit $rc after SIGINT"; }
complete stopped.json || { tail stopped.err; fail "the report after SIGINT is not complete"; }
