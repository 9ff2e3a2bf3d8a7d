#!/usr/bin/env bash
# `fleetset-cli run` for orchestrators, inside the lab against five simulated cameras, one of
# which comes back from an upgrade on its old firmware: --dry-run sends nothing and refuses as
# run does; the summary file counts the job; --retry-failed takes exactly the failed and
# unfinished devices; a locked history costs the job neither its report nor its exit code.
# Usage: orchestration_in_lab.sh FLEETSET_SIM FLEETSET_CLI
set -euo pipefail
sim=$1
cli=$2
work=$(mktemp -d)
sim_pid= lock_pid=
trap 'for p in $sim_pid $lock_pid; do kill "$p" 2>/dev/null; done; wait 2>/dev/null; rm -rf "$work"' EXIT
cd "$work"
export FLEETSET_TIME_SPEED=25
fail() { echo "FAIL: $*"; exit 1; }
bad=00:1A:2B:00:0F:01

"$sim" mkfw --out fw.update --version 2.5.0 --size 64K > /dev/null
cat > fleet.json <<JSON
{"count": 4, "cameras": [{"mac_address": "$bad", "ip_address": "10.77.2.1", "sdk_faults": {"upgrade_install_fails": true}}]}
JSON
"$sim" --config fleet.json --reboot-ms 1000 --record-file record.json > sim.out 2>&1 &
sim_pid=$!
for _ in $(seq 100); do grep -q "answering" sim.out && break; sleep 0.1; done
grep -q "answering" sim.out || { cat sim.out; fail "the simulator did not start"; }
requests() {
  rm -f record.json
  kill -USR1 "$sim_pid"
  for _ in $(seq 100); do jq -e . record.json > /dev/null 2>&1 && break; sleep 0.1; done
  jq '[.cameras[].received.requests] | add' record.json
}
run() { "$cli" run --seconds 50 --history history.sqlite "$@"; }

# A dry run plans every device and sends nothing.
before=$(requests)
run --all --upgrade fw.update --ip-range 10.77.50.1-10.77.50.9 --dry-run --format json --summary-file plan-summary.json \
  > plan.json 2> plan.err || { cat plan.err; fail "dry run: exit $?"; }
jq -e 'length == 5 and all(.[]; .action == "run" and .steps == "upgrade,ip-range" and (.new_ip | startswith("10.77.50.")))' \
  plan.json > /dev/null || { cat plan.json; fail "dry run plan"; }
jq -e '.dry_run and .planned == 5 and .exit_code == 0' plan-summary.json > /dev/null || fail "dry run summary"
[ "$(requests)" = "$before" ] || fail "the dry run sent requests to cameras"

# Refused as run refuses, with the same message; still nothing sent.
for mode in --dry-run ""; do
  rc=0; run --all --ip-range 10.77.1.1-10.77.1.3 --time-zone 1 $mode 2> "refused$mode.err" || rc=$?
  [ "$rc" -eq 2 ] || fail "taken range ($mode): exit $rc"
done
cmp -s refused--dry-run.err refused.err || { cat refused--dry-run.err refused.err; fail "the dry run refuses otherwise"; }
[ "$(requests)" = "$before" ] || fail "a refused job sent requests to cameras"

# The job: four upgraded, one back on its old firmware.
rc=0; run --all --upgrade fw.update --format json --report-file first.json --summary-file first-summary.json 2> first.err || rc=$?
[ "$rc" -eq 1 ] || { cat first.err; fail "first job: exit $rc"; }
jq -e '.devices == 5 and .done == 4 and .failed == 1 and .changed == 4 and .exit_code == 1' first-summary.json > /dev/null \
  || { cat first-summary.json; fail "first job summary"; }

# A report in which one good device also left no end report: the retry takes it and the bad one.
good=00:1A:2B:00:00:03
jq --arg mac "$good" 'map(if .mac == $mac then .end_reports = 0 else . end)' first.json > edited.json
rc=0; run --retry-failed edited.json --upgrade fw.update --format json > retry.json 2> retry.err || rc=$?
[ "$rc" -eq 1 ] || { cat retry.err; fail "retry: exit $rc"; }
jq -e --arg bad "$bad" --arg good "$good" '[.[].mac] | sort == ([$bad, $good] | sort)' retry.json > /dev/null \
  || { cat retry.json; fail "the retry took other devices"; }
# With --only-outdated the good one is left out as up to date.
rc=0; run --retry-failed edited.json --upgrade fw.update --only-outdated --format json > outdated.json 2> outdated.err || rc=$?
jq -e --arg bad "$bad" '[.[].mac] == [$bad]' outdated.json > /dev/null || { cat outdated.json; fail "retry with --only-outdated"; }

# Both jobs (and the two retries) are in the history of the bad camera.
"$cli" history --history history.sqlite --mac "$bad" --format json > bad-history.json
jq -e 'length == 3 and all(.[]; .marks.upgrade == "failed")' bad-history.json > /dev/null \
  || { cat bad-history.json; fail "history of $bad"; }

# A locked history: the job runs, its report is written, its exit code is its own.
python3 -c 'import sqlite3, sys, time
c = sqlite3.connect("history.sqlite", isolation_level=None); c.execute("BEGIN EXCLUSIVE")
open("locked", "w").close(); time.sleep(60)' &
lock_pid=$!
for _ in $(seq 100); do [ -f locked ] && break; sleep 0.1; done
rc=0; run --mac "$good" --time-zone 3 --format json --report-file locked.json 2> locked.err || rc=$?
[ "$rc" -eq 0 ] || { cat locked.err; fail "a locked history changed the exit code to $rc"; }
jq -e '.[0].steps.settings == "ok"' locked.json > /dev/null || fail "no report beside a locked history"
grep -q "job history was not written" locked.err || { cat locked.err; fail "the locked history is not named"; }
kill "$lock_pid"; wait "$lock_pid" 2>/dev/null || true; lock_pid=
"$cli" history --history history.sqlite --mac "$good" --format csv > good.csv
[ "$(grep -c "time-zone" good.csv)" -eq 0 ] || fail "the job behind the lock was written after all"
echo "orchestration: dry run, summary, retry and history as expected"
