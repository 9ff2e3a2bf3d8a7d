#!/usr/bin/env bash
# Installs what is missing, builds, and shows discovery at work: a simulated fleet of cameras
# inside the private network lab, listed by fleetset-cli.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset default
cmake --build --preset default -j "$(nproc)"

exec scripts/netlab.sh bash -c '
  build/default/sim/fleetset-sim --count 20 --demo-mix &
  sim=$!
  trap "kill $sim 2>/dev/null; wait $sim 2>/dev/null" EXIT
  sleep 1
  echo "== fleetset-cli discover (table) =="
  build/default/cli/fleetset-cli discover --seconds 2
  echo "== fleetset-cli discover --format json =="
  build/default/cli/fleetset-cli discover --seconds 2 --format json
'
