#!/usr/bin/env bash
# End to end inside the lab: a simulated fleet of 20 and fleetset-cli discover, as a user
# would run them. Usage: discover_in_lab.sh FLEETSET_SIM FLEETSET_CLI
set -euo pipefail
sim=$1
cli=$2
work=$(mktemp -d)
trap 'kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; rm -rf "$work"' EXIT
cd "$work"

"$sim" --count 20 > sim.out 2>&1 &
sim_pid=$!
for _ in $(seq 100); do
  grep -q "20 cameras answering" sim.out && break
  sleep 0.1
done
grep -q "20 cameras answering" sim.out || { cat sim.out; echo "the simulator did not start"; exit 1; }

"$cli" discover --seconds 2 --format json > devices.json
found=$(grep -c '"mac":' devices.json || true)
[ "$found" -eq 20 ] || { cat devices.json; echo "expected 20 cameras, listed $found"; exit 1; }
grep -q '"mac": "00:1A:2B:00:00:14"' devices.json || { echo "the twentieth camera is missing"; exit 1; }

# The trace file holds one line per device that entered the table.
[ "$(grep -c '^mac = ' recv.txt)" -eq 20 ] || { cat recv.txt; echo "recv.txt does not list the 20 cameras"; exit 1; }

"$cli" discover --seconds 1 --format csv > devices.csv
[ "$(wc -l < devices.csv)" -eq 21 ] || { cat devices.csv; echo "expected a header and 20 rows"; exit 1; }
