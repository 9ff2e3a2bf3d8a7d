#!/usr/bin/env bash
# Two ONVIF clients that nobody here wrote drive three simulated cameras in the lab: Debian's
# onvif-util (libonvif) and the npm package onvif. What each says it did is checked against
# what the cameras recorded. Runs inside scripts/netlab.sh.
#   tests/peers/onvif_peers.sh FLEETSET_SIM
set -euo pipefail
sim=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
sim_pid=
stop_sim() { [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null; rm -rf "$work"; }
trap stop_sim EXIT

fail() { echo "onvif_peers: $*" >&2; exit 1; }
[ -d "$here/node_modules/onvif" ] || fail "the npm test peer is missing: run 'npm ci' in tests/peers (scripts/setup.sh does)"

# libonvif signs consecutive calls with one token: the camera it drives does not refuse
# replays (see the simulator's notes).
cat >"$work/fleet.json" <<'JSON'
{ "count": 2, "protocols": "onvif", "admin_password": "pe3r s3cret",
  "cameras": [ { "mac_address": "00:1A:2B:00:00:02", "ip_address": "10.77.1.2", "onvif": { "replay_check": false } } ] }
JSON
"$sim" --config "$work/fleet.json" --record-file "$work/record.json" >"$work/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do grep -q "cameras answering" "$work/sim.log" && break; sleep 0.1; done

record() {  # the cameras' record now, as JSON (the simulator writes it whole, by a rename)
  rm -f "$work/record.json"
  kill -USR1 "$sim_pid"
  for _ in $(seq 100); do [ -e "$work/record.json" ] && break; sleep 0.1; done
  cat "$work/record.json"
}
# libonvif takes its Probe's MessageID from the wall clock's second, so two onvif-util runs in
# one second send the same ID, and the cameras rightly drop the second Probe as a repeat.
next_second() { local s; s=$(date +%s); while [ "$(date +%s)" = "$s" ]; do sleep 0.05; done; }
camera() { jq -c --arg mac "$1" '.cameras[] | select(.mac_address == $mac)'; }

# onvif-util: discovery, then a login that reads the network settings and changes the address.
found=$(timeout 20 onvif-util -a | grep -c "Lumora IPC-3516" || true)
[ "$found" = 3 ] || fail "onvif-util found $found of 3 cameras"
next_second
util=$(printf 'get network\nset ip_address 10.77.8.8\nquit\n' | timeout 20 onvif-util -u Admin -p 'pe3r s3cret' 10.77.1.2 2>&1)
grep -q "serial: SN001A2B000002" <<<"$util" || fail "onvif-util did not log in: $util"
grep -q "IP Address: 10.77.1.2" <<<"$util" && grep -q "Gateway: *10.77.0.254" <<<"$util" ||
  fail "onvif-util read other network settings: $util"
cam2=$(record | camera 00:1A:2B:00:00:02)
jq -e '.ip_address == "10.77.8.8" and ([.received.onvif[] | select(.operation == "SetNetworkInterfaces" and
       .http_status == 200) | .detail] == ["10.77.8.8/16 DHCP off"])' <<<"$cam2" >/dev/null ||
  fail "camera 2 did not take onvif-util's address: $cam2"

# npm onvif: discovery, identity, clock, a new address and a reboot, all with credentials.
npm_out=$(cd "$here" && timeout 60 node onvif_npm.js Admin 'pe3r s3cret' 10.77.9.9) || fail "the npm client failed"
cam1=$(record | camera 00:1A:2B:00:00:01)
jq -e '.discovered == ["10.77.1.1", "10.77.1.3", "10.77.8.8"]' <<<"$npm_out" >/dev/null || fail "npm discovery: $npm_out"
jq -e '.information.manufacturer == "Lumora" and .information.firmwareVersion == "2.4.1"' <<<"$npm_out" >/dev/null \
  || fail "npm device information: $npm_out"
jq -e '.mac | ascii_upcase == "00:1A:2B:00:00:01"' <<<"$npm_out" >/dev/null || fail "npm MAC: $npm_out"
clock=$(jq -r '.clock | sub("\\.000Z$"; "Z")' <<<"$npm_out")
jq -e --arg c "$clock" '[.received.onvif[] | select(.operation == "SetSystemDateAndTime") | .detail | contains($c)] | any' \
  <<<"$cam1" >/dev/null || fail "camera 1 did not record the clock $clock: $cam1"
jq -e '.ip_address == "10.77.9.9"' <<<"$cam1" >/dev/null || fail "camera 1 is not at its new address: $cam1"
jq -e '[.received.onvif[] | select(.operation == "SystemReboot")] | length == 1' <<<"$cam1" >/dev/null \
  || fail "camera 1 recorded no reboot: $cam1"
echo "onvif_peers: onvif-util and npm onvif agree with the simulated cameras"
