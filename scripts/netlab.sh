#!/usr/bin/env bash
# Runs a command inside a private network lab, made without root through a user namespace:
#
#   tool side (the command's own network namespace)       camera LAN (a namespace of its own)
#   lab0 10.77.0.1/16 (and 10.77.0.2)  <---- veth ---->  lab1, every other 10.77.x.y
#
# The simulated cameras open their sockets on the far side (sim/CameraSide.h finds it through
# FLEETSET_LAB_CAMERAS), as cameras on a LAN are other hosts: a client that turns multicast
# loopback off still hears them, and broadcasts and multicast cross the link as they would a
# switch. The camera side holds the whole of 10.77.0.0/16 but the tool's two addresses on its
# end of the link (the link itself is 10.77.0.254 there, where the cameras' gateway would be),
# so each camera binds an address of its own and a new one after a change. Nothing
# leaves the lab, which has no default route, like a laptop on an isolated camera switch.
#
#   scripts/netlab.sh COMMAND [ARGS...]
#   scripts/netlab.sh --cameras COMMAND [ARGS...]   (inside a lab: run COMMAND on the camera LAN)
set -euo pipefail

if [ $# -eq 0 ]; then
  echo "usage: $0 [--cameras] COMMAND [ARGS...]" >&2
  exit 2
fi

if [ "$1" = "--cameras" ]; then
  shift
  if [ "${FLEETSET_IN_LAB:-}" != "1" ]; then
    exec "$0" "$0" --cameras "$@"  # make a lab, then come back here inside it
  fi
  exec nsenter --net="$FLEETSET_LAB_CAMERAS" "$@"
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
  # The camera LAN's namespace lives as long as this process: its holder dies with it.
  setpriv --pdeathsig KILL unshare -n sleep infinity &
  holder=$!
  cameras=/proc/$holder/ns/net
  until [ "$(readlink "$cameras" 2>/dev/null)" != "$(readlink /proc/self/ns/net)" ]; do sleep 0.01; done
  ip link set lab1 netns "$cameras"
  ip link set lab0 up
  ip addr add 10.77.0.1/16 dev lab0
  # A second source address for tests of a tool with several, bindable but not listed as one
  # of the interface's, so that a sweep still leaves once.
  ip route add local 10.77.0.2/32 dev lab0 table local
  ip route add 224.0.0.0/4 dev lab0
  nsenter --net="$cameras" sh -e -c '
    ip link set lo up
    ip link set lab1 up
    ip addr add 10.77.0.254/16 dev lab1
    ip route add local 10.77.0.0/16 dev lab1 table local
    ip route add 10.77.0.1/32 dev lab1 table local proto kernel scope link
    ip route add 10.77.0.2/32 dev lab1 table local proto kernel scope link
    ip route add 224.0.0.0/4 dev lab1'
  export FLEETSET_LAB_CAMERAS=$cameras
  # Room for a thousand cameras' sockets.
  ulimit -n "$(ulimit -Hn)" 2>/dev/null || true
  exec "$@"
fi

FLEETSET_NETLAB=setup exec unshare -rn "$0" "$@"
