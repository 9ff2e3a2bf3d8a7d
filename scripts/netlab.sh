#!/usr/bin/env bash
# Runs a command inside a private network lab: a fresh network namespace (made without root
# through a user namespace) with a broadcast-capable veth pair. The tool side owns 10.77.0.1,
# and the whole of 10.77.0.0/16 is local, so every simulated camera can bind an address of
# its own. Broadcasts and device traffic never leave the namespace. The lab has no default
# route, like a laptop on an isolated camera switch.
#
#   scripts/netlab.sh COMMAND [ARGS...]
set -euo pipefail

if [ $# -eq 0 ]; then
  echo "usage: $0 COMMAND [ARGS...]" >&2
  exit 2
fi

# Already inside a lab: run the command there.
if [ "${FLEETSET_IN_LAB:-}" = "1" ]; then
  exec "$@"
fi

if [ "${FLEETSET_NETLAB:-}" = "setup" ]; then
  unset FLEETSET_NETLAB
  export FLEETSET_IN_LAB=1
  ip link set lo up
  ip link add lab0 type veth peer name lab1
  ip link set lab0 up
  ip link set lab1 up
  ip addr add 10.77.0.1/16 dev lab0
  ip route add local 10.77.0.0/16 dev lo table local
  # Room for a thousand cameras' sockets.
  ulimit -n "$(ulimit -Hn)" 2>/dev/null || true
  exec "$@"
fi

FLEETSET_NETLAB=setup exec unshare -rn "$0" "$@"
