#!/usr/bin/env bash
# fleetset-cli discover with a login over a mixed simulated fleet: one camera per protocol
# (own, onvif, both), each listed once, the ONVIF ones read through their device service.
# Usage: discover_onvif_in_lab.sh FLEETSET_SIM FLEETSET_CLI
set -euo pipefail
work=$(mktemp -d)
trap 'kill %1 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
cd "$work"
camera() { echo "{\"mac_address\": \"00:1A:2B:00:00:0$1\", \"ip_address\": \"10.77.1.$1\", \"software_ver\": \"2.4.$1\", \"protocols\": \"$2\"}"; }
echo "{\"cameras\": [$(camera 1 own), $(camera 2 onvif), $(camera 3 both)]}" > fleet.json
"$1" --config fleet.json > sim.out 2>&1 &
for _ in $(seq 100); do grep -q "3 cameras answering" sim.out && break; sleep 0.1; done

FLEETSET_PASSWORD= "$2" discover --seconds 2 --user Admin --format json > cameras.json
jq -e 'length == 3
  and ([.[] | [.mac, .protocol, .software_ver, .model]] | sort) == [
    ["00:1A:2B:00:00:01", "own", "2.4.1", ""],
    ["00:1A:2B:00:00:02", "onvif", "2.4.2", "IPC-3516"],
    ["00:1A:2B:00:00:03", "both", "2.4.3", "IPC-3516"]]
  and (.[] | select(.protocol == "both") | .cmd_port == 6001 and .xaddr == "http://10.77.1.3/onvif/device_service")' \
  cameras.json > /dev/null || { cat sim.out cameras.json; echo "FAIL: not one row per camera with its protocol"; exit 1; }
