# The set-up the command line's lab scripts share, sourced by them with their own two
# arguments: the simulator and fleetset-cli. Leaves them in a working directory that goes at
# the end, with the simulator stopped.
#     . "$(dirname "$0")/lab_job.sh" FLEETSET_SIM FLEETSET_CLI
set -euo pipefail
sim=$1
cli=$2
work=$(mktemp -d)
sim_pid=
trap '[ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL: $*"; exit 1; }

# start_fleet COUNT ARGS...: the simulator with ARGS (its output in sim.out), once it says
# that COUNT cameras answer.
start_fleet() {
  local count=$1
  shift
  "$sim" "$@" > sim.out 2>&1 &
  sim_pid=$!
  for _ in $(seq 100); do grep -q "$count cameras answering" sim.out && break; sleep 0.1; done
  grep -q "$count cameras answering" sim.out || { cat sim.out; fail "the simulator did not start"; }
}
stop_fleet() { kill "$sim_pid"; wait "$sim_pid" || true; sim_pid=; }
