#!/usr/bin/env bash
# `fleetset-cli run` over a mixed fleet inside the lab, sped up: our cameras, ONVIF ones and
# one that speaks both in one job behind one address barrier; then the ONVIF faults that
# decide a mark; then the password, a hard factory reset, and a job ONVIF can do nothing of.
# Usage: run_onvif_in_lab.sh FLEETSET_SIM FLEETSET_CLI
. "$(dirname "$0")/lab_job.sh" "$@"
export FLEETSET_TIME_SPEED=20

onvif='"protocols": "onvif", "onvif": { "upload_delay_s": 1, "expected_down_time_s": 4'
cat > fleet.json <<JSON
{ "reboot_ms": 3000, "cameras": [
  { "mac_address": "00:1A:2B:00:01:01", "ip_address": "10.77.3.1" },
  { "mac_address": "00:1A:2B:00:01:02", "ip_address": "10.77.3.2", "protocols": "both" },
  { "mac_address": "00:1A:2B:00:01:03", "ip_address": "10.77.3.3", $onvif } },
  { "mac_address": "00:1A:2B:00:01:04", "ip_address": "10.77.3.4", $onvif, "faults": { "reboot_after_network": true } } },
  { "mac_address": "00:1A:2B:00:01:05", "ip_address": "10.77.3.5", $onvif }, "sdk_faults": { "upgrade_install_fails": true } },
  { "mac_address": "00:1A:2B:00:01:06", "ip_address": "10.77.3.6", $onvif },
    "settings": { "dhcp_enable": true }, "dhcp_address": "10.77.9.6" },
  { "mac_address": "00:1A:2B:00:01:07", "ip_address": "10.77.3.7", $onvif }, "sdk_faults": { "reboot_never_returns": true } },
  { "mac_address": "00:1A:2B:00:01:08", "ip_address": "10.77.3.8", $onvif, "faults": { "upload_abandon_percent": 50 } } },
  { "mac_address": "00:1A:2B:00:01:09", "ip_address": "10.77.3.9", $onvif }, "board_type": "0x3518" },
  { "mac_address": "00:1A:2B:00:01:0A", "ip_address": "10.77.3.10", $onvif, "faults": { "clock_offset_hours": 2 } } },
  { "mac_address": "00:1A:2B:00:01:0B", "ip_address": "10.77.3.11", $onvif } }
] }
JSON
"$sim" mkfw --out fw.update --version 2.5.0 --size 256K > /dev/null
head -c 4000 /dev/zero > logo.jpg
start_fleet 11 --config fleet.json --record-file record.json
run() { "$cli" run --seconds 40 --format json "$@"; }

# One job over both protocols: every camera moves before any logs in, each step verified.
run --ip 10.77.3.1,10.77.3.2,10.77.3.3,10.77.3.4 --ip-range 10.77.71.1-10.77.71.9 \
  --upgrade fw.update --sync-time --logo logo.jpg > mixed.json 2> mixed.err || { cat mixed.err; fail "the mixed job failed"; }
jq -e 'length == 4 and all(.[]; .steps.change_ip == "ok" and .steps.upgrade == "ok" and .version_after == "2.5.0"
       and .steps.time_sync == "ok" and (.ip_after | startswith("10.77.71.")) and .end_reports == 1)
       and ([.[] | .protocol] == ["own", "own", "onvif", "onvif"])
       and ([.[] | .steps.logo] == ["ok", "ok", "unsupported", "unsupported"])
       and ([.[] | .uuid | startswith("urn:uuid:")] == [false, true, true, true])' mixed.json > /dev/null \
  || { cat mixed.json; fail "the mixed job's report"; }

# The faults, over ONVIF: only a version read back after the reboot makes an upgrade done.
rc=0
run --protocol onvif --ip 10.77.3.5,10.77.3.6,10.77.3.7,10.77.3.8,10.77.3.9,10.77.3.10 \
  --upgrade fw.update --sync-time > faults.json 2> faults.err || rc=$?
[ "$rc" -eq 1 ] || { cat faults.err; fail "failed upgrades must fail the run, exit $rc"; }
expect() {  # MAC, jq condition on its report
  jq -e --arg mac "$1" ".[] | select(.mac == \$mac) | $2" faults.json > /dev/null \
    || { jq -c --arg mac "$1" '.[] | select(.mac == $mac)' faults.json; fail "$1: expected $2"; }
}
# Codes 2 and 3: back on another version, an image the camera refused.
expect 00:1A:2B:00:01:05 '.steps.upgrade == "failed" and .version_after == "2.4.1" and (.status_codes | index(2))'
expect 00:1A:2B:00:01:06 '.steps.upgrade == "ok" and .ip_after == "10.77.9.6" and .version_after == "2.5.0"'
expect 00:1A:2B:00:01:07 '.steps.upgrade == "failed" and .end_reports == 1'
expect 00:1A:2B:00:01:08 '.steps.upgrade == "failed" and .end_reports == 1'
expect 00:1A:2B:00:01:09 '.steps.upgrade == "failed" and (.status_codes | index(3))'
expect 00:1A:2B:00:01:0A '.steps.upgrade == "ok" and .steps.time_sync == "ok"'

# A new password proved by a login with it, then a hard reset logged in with that password.
moved=$(jq -r '.[] | select(.mac == "00:1A:2B:00:01:03") | .ip_after' mixed.json)
# --only-outdated reads an ONVIF camera's version: this one is up to date now.
run --ip "$moved" --upgrade fw.update --only-outdated --dry-run > plan.json 2> plan.err || { cat plan.err; fail "dry run"; }
jq -e '.[0].action == "up to date" and .[0].protocol == "onvif"' plan.json > /dev/null || { cat plan.json; fail "not up to date"; }
run --protocol onvif --ip "$moved" --device-password n3w-pw > password.json 2> password.err \
  || { cat password.err; fail "the password job failed"; }
jq -e '.[0].steps.settings == "ok"' password.json > /dev/null || { cat password.json; fail "the password was not set"; }
printf 'n3w-pw' > pw
run --protocol onvif --ip "$moved" --factory-reset hard --password-file pw > reset.json 2> reset.err \
  || { cat reset.json reset.err; fail "the reset failed"; }
# Nothing ONVIF can do: marked so, and the camera sees no login (the jobs before named their
# cameras by address, so none of them read it either).
run --ip 10.77.3.11 --logo logo.jpg --command "echo hi" > logo.json 2> logo.err || { cat logo.err; fail "an unsupported job fails"; }
jq -e '.[0].steps.logo == "unsupported" and .[0].steps.command == "unsupported"' logo.json > /dev/null \
  || { cat logo.json; fail "unsupported steps"; }

stop_fleet
camera() { jq --arg mac "$1" '.cameras[] | select(.mac_address == $mac)' record.json; }
camera 00:1A:2B:00:01:03 | jq -e '[.received.onvif[] | .operation] | index("SetUser") != null' > /dev/null || fail "no SetUser"
camera 00:1A:2B:00:01:03 | jq -e '[.received.onvif[] | select(.operation == "SetSystemFactoryDefault") | .detail]
  | any(test("Hard"))' > /dev/null || { camera 00:1A:2B:00:01:03 | jq -c '.received.onvif'; fail "no hard reset"; }
camera 00:1A:2B:00:01:0B | jq -e '[.received.onvif[] | select(.http_status == 200 and .operation != "GetSystemDateAndTime")]
  | length == 0' > /dev/null || { camera 00:1A:2B:00:01:0B | jq -c '.received.onvif'; fail "the unsupported job logged in"; }
echo "ok: mixed job, six ONVIF faults, password, hard reset, unsupported steps"
