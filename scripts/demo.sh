#!/usr/bin/env bash
# Installs what is missing, builds, and opens the guide menu inside the private network lab
# with a simulated fleet of 12 cameras. The first button opens the batch window, which lists
# the fleet and runs jobs on it: a firmware file for the fleet lies beside the program
# (build/default/app/demo-fw.update). After the guide menu is closed, fleetset-cli lists the
# same fleet, then runs the main job on a fresh fleet: a firmware upgrade with reboot, new
# addresses from a range, the clock and a time zone, with a report per camera. Time runs 10
# times faster, so the 40 s reboot wait takes 4 s.
#
#     scripts/demo.sh                 the window, then the command line
#     scripts/demo.sh --cli           the command line only
#     scripts/demo.sh --test-station  the factory test station on three simulated cameras
#                                     (sim/fleets/test-station.json, the station's password);
#                                     records land in build/default/app/test_record
set -euo pipefail
cd "$(dirname "$0")/.."
window=1
mode=batch
case "${1:-}" in
  --cli) window=0 ;;
  --test-station) mode=station ;;
  "") ;;
  *) echo "usage: scripts/demo.sh [--cli | --test-station]" >&2; exit 2 ;;
esac

scripts/setup.sh
cmake --preset default
# Only what the demo runs; scripts/test.sh builds the rest.
cmake --build --preset default -j "$(nproc)" --target fleetset fleetset-sim fleetset-cli

# The lab has a network of its own but shares the file system, so the windows reach an X
# server through its socket in /tmp/.X11-unix. A display over TCP (ssh -X) is out of reach.
[ "$window" = 1 ] && case "${DISPLAY:-}" in
  :*|unix:*) ;;
  "")
    echo "No DISPLAY: the window runs for 20 s on Qt's offscreen platform and is not seen." >&2
    echo "Run this script in a desktop session (or with DISPLAY set, e.g. under Xvfb) to see it." >&2
    export QT_QPA_PLATFORM=offscreen FLEETSET_DEMO_LIMIT=20 ;;
  *)
    echo "DISPLAY=$DISPLAY is reached over the network, which the lab does not have:" >&2
    echo "the window runs for 20 s on Qt's offscreen platform and is not seen." >&2
    export QT_QPA_PLATFORM=offscreen FLEETSET_DEMO_LIMIT=20 ;;
esac

if [ "$mode" = station ]; then
  exec scripts/netlab.sh bash -c '
    build/default/sim/fleetset-sim --config sim/fleets/test-station.json &
    sim=$!
    trap "kill $sim 2>/dev/null; wait $sim 2>/dev/null" EXIT
    sleep 1
    echo "== fleetset --test-station: press start, or untick auto show and double-click a camera =="
    echo "   (version check expects the text in the box, e.g. 2.4.1; PASS/NG write test_record/)"
    echo "   (diagnostic log in build/default/app/fleetset.log)"
    cd build/default/app
    if [ -n "${FLEETSET_DEMO_LIMIT:-}" ]; then
      timeout "$FLEETSET_DEMO_LIMIT" ./fleetset --test-station --debug-log >fleetset.log 2>&1 || true
    else
      ./fleetset --test-station --debug-log >fleetset.log 2>&1
    fi
  '
fi

build/default/sim/fleetset-sim mkfw --out build/default/app/demo-fw.update --version 2.5.0 --size 8M
export FLEETSET_TIME_SPEED=10 FLEETSET_DEMO_WINDOW=$window
exec scripts/netlab.sh bash -c '
  build/default/sim/fleetset-sim --count 12 &
  sim=$!
  trap "kill $sim 2>/dev/null; wait $sim 2>/dev/null" EXIT
  sleep 1
  if [ "$FLEETSET_DEMO_WINDOW" = 1 ]; then
    echo "== fleetset: the guide menu; its first button opens the batch window =="
    echo "   (tick the cameras, choose demo-fw.update beside the program, press Upgrade)"
    echo "   (diagnostic log in build/default/app/fleetset.log)"
    # From the program directory, where the language files and logo.bmp are.
    (
      cd build/default/app
      if [ -n "${FLEETSET_DEMO_LIMIT:-}" ]; then
        timeout "$FLEETSET_DEMO_LIMIT" ./fleetset --debug-log >fleetset.log 2>&1 || true
      else
        ./fleetset --debug-log >fleetset.log 2>&1
      fi
    )
  fi
  echo "== the same fleet from the command line: fleetset-cli discover =="
  build/default/cli/fleetset-cli discover --seconds 20
  # A fresh fleet, still on its old firmware.
  kill $sim; wait $sim 2>/dev/null
  build/default/sim/fleetset-sim --count 12 &
  sim=$!
  sleep 1
  echo "== the main job on 12 cameras: upgrade to 2.5.0, addresses 10.77.30.1 upward, clock"
  echo "   and time zone UTC+1; then the report, one line per camera =="
  build/default/cli/fleetset-cli run --all --seconds 20 --upgrade build/default/app/demo-fw.update \
    --ip-range 10.77.30.1-10.77.30.99 --sync-time --time-zone 1 || true
'
