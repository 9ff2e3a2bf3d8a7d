#!/usr/bin/env bash
# Installs what is missing, builds, and opens the guide menu inside the private network lab
# with a simulated fleet of 12 cameras answering discovery. The first button opens the batch
# window, which lists the fleet. After the guide menu is closed, fleetset-cli lists the same
# fleet on the command line.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset default
# Only what the demo runs; scripts/test.sh builds the rest.
cmake --build --preset default -j "$(nproc)" --target fleetset fleetset-sim fleetset-cli

# The lab has a network of its own but shares the file system, so the windows reach an X
# server through its socket in /tmp/.X11-unix. A display over TCP (ssh -X) is out of reach.
case "${DISPLAY:-}" in
  :*|unix:*) ;;
  "")
    echo "No DISPLAY: the guide menu runs for 20 s on Qt's offscreen platform and is not seen." >&2
    echo "Run this script in a desktop session (or with DISPLAY set, e.g. under Xvfb) to see it." >&2
    export QT_QPA_PLATFORM=offscreen FLEETSET_DEMO_LIMIT=20 ;;
  *)
    echo "DISPLAY=$DISPLAY is reached over the network, which the lab does not have:" >&2
    echo "the guide menu runs for 20 s on Qt's offscreen platform and is not seen." >&2
    export QT_QPA_PLATFORM=offscreen FLEETSET_DEMO_LIMIT=20 ;;
esac

exec scripts/netlab.sh bash -c '
  build/default/sim/fleetset-sim --count 12 --demo-mix &
  sim=$!
  trap "kill $sim 2>/dev/null; wait $sim 2>/dev/null" EXIT
  sleep 1
  echo "== fleetset: the guide menu; its first button opens the batch window =="
  echo "   (diagnostic log in build/default/app/fleetset.log)"
  # From the program directory, where the language files and logo.bmp are.
  (
    cd build/default/app
    if [ -n "${FLEETSET_DEMO_LIMIT:-}" ]; then
      timeout "$FLEETSET_DEMO_LIMIT" ./fleetset >fleetset.log 2>&1 || true
    else
      ./fleetset >fleetset.log 2>&1
    fi
  )
  echo "== the same fleet from the command line: fleetset-cli discover =="
  build/default/cli/fleetset-cli discover --seconds 2
'
