#!/usr/bin/env bash
# `fleetset-cli run` end to end inside the lab against a simulated fleet of 250, sped up:
# an upgrade of named devices with one that is missing, then --only-outdated over the rest as
# a queue of 250 with --parallel 100, and an address change in rounds.
# Usage: run_in_lab.sh FLEETSET_SIM FLEETSET_CLI
. "$(dirname "$0")/lab_job.sh" "$@"
export FLEETSET_TIME_SPEED=25  # --seconds 50 is two real seconds of search; faster leaves the SDK too little real time to connect on a loaded machine

"$sim" mkfw --out fw-2.5.0.update --version 2.5.0 --size 64K > /dev/null
start_fleet 250 --count 250 --reboot-ms 2000

# Two named devices and one that does not exist: those two are upgraded, the run fails.
rc=0
"$cli" run --mac 00:1a:2b:00:00:01,00:1A:2B:00:00:02,00:1A:2B:00:FF:FF --upgrade fw-2.5.0.update --format json \
  --seconds 50 > named.json 2> named.err || rc=$?
[ "$rc" -eq 1 ] || { cat named.err; fail "a missing MAC must fail the run, exit $rc"; }
grep -q "00:1A:2B:00:FF:FF: no such device" named.err || { cat named.err; fail "the missing MAC is not named"; }
jq -e 'length == 2 and all(.[]; .steps.upgrade == "ok" and .version_after == "2.5.0" and .end_reports == 1)' named.json \
  > /dev/null || { cat named.json; fail "the named devices were not upgraded"; }

# The other 248 as a queue: a device starts as soon as one ends, never more than 100 at once.
"$cli" run --all --only-outdated --upgrade fw-2.5.0.update --parallel 100 --format json --report-file queue.json \
  --seconds 50 2> queue.err || { tail queue.err; fail "the queue run failed"; }
jq -e 'length == 248 and all(.[]; .steps.upgrade == "ok" and .version_after == "2.5.0" and .end_reports == 1
       and .seconds > 0 and (.mac | IN("00:1A:2B:00:00:01", "00:1A:2B:00:00:02") | not))' queue.json > /dev/null \
  || { jq -c '.[] | select(.steps.upgrade != "ok")' queue.json | head; fail "the queue did not upgrade the other 248"; }
[ "$(grep -c "already runs 2.5.0, left out" queue.err)" -eq 2 ] || fail "the up-to-date devices are not named"
most=$(awk '$2 == "running" && !($1 in busy) { busy[$1] = 1; n++; if (n > most) most = n }
            ($2 == "ok" || $2 == "failed") && ($1 in busy) { delete busy[$1]; n-- } END { print most + 0 }' queue.err)
[ "$most" -eq 100 ] || fail "expected 100 devices at once at most and at best, saw $most"


# An address change goes in rounds sharing one barrier each.
"$cli" run --mac 00:1A:2B:00:00:0A,00:1A:2B:00:00:0B,00:1A:2B:00:00:0C --ip-range 10.77.60.1-10.77.60.9 \
  --time-zone 2 --parallel 2 --format csv --seconds 50 > moved.csv 2> moved.err || { cat moved.err; fail "the address change failed"; }
[ "$(grep -c ',10\.77\.60\.[123],.*,ok,.*,ok,' moved.csv)" -eq 3 ] || { cat moved.csv; fail "the devices did not move"; }
