#!/usr/bin/env bash
# Simulated sites for the Ansible collection: each site is a private network lab of its own
# (scripts/netlab.sh) with its own simulated fleet, whose process keeps the lab alive. A site's
# `enter` script runs a command inside that lab, as SSH to the site's controller would in the
# field; the inventory written beside them reaches every site's fleetset-cli through it.
#
#   contrib/ansible/lab-sites.sh start DIR [--cameras N] [--failing SITE] SITE...
#   contrib/ansible/lab-sites.sh record DIR SITE   # what the site's cameras received, as JSON
#   contrib/ansible/lab-sites.sh stop DIR
#
# FLEETSET_SIM and FLEETSET_CLI name the programs (default: the default build's);
# FLEETSET_TIME_SPEED (default 10) speeds the sites' time. The cameras of a --failing site
# take an upgrade but come back on their old firmware.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
sim=${FLEETSET_SIM:-$root/build/default/sim/fleetset-sim}
cli=${FLEETSET_CLI:-$root/build/default/cli/fleetset-cli}
speed=${FLEETSET_TIME_SPEED:-10}
usage() { sed -n '7,9p' "$0" | sed 's/^#   //' >&2; exit 2; }

start_site() {
  local dir=$1 name=$2 cameras=$3 failing=$4
  local site=$dir/$name
  mkdir -p "$site"
  local config=()
  if [ "$failing" = "$name" ]; then
    echo '{"sdk_faults": {"upgrade_install_fails": true}}' > "$site/fleet.json"
    config=(--config "$site/fleet.json")
  fi
  FLEETSET_TIME_SPEED=$speed "$root/scripts/netlab.sh" "$sim" --count "$cameras" --reboot-ms 1000 \
    --record-file "$site/record.json" "${config[@]}" < /dev/null > "$site/sim.out" 2>&1 &
  # netlab.sh and unshare exec into the simulator: this is its process, inside the lab.
  local pid=$!
  echo "$pid" > "$site/pid"
  for _ in $(seq 100); do grep -q "answering" "$site/sim.out" && break; sleep 0.1; done
  grep -q "answering" "$site/sim.out" || { cat "$site/sim.out" >&2; echo "$name: the fleet did not start" >&2; return 1; }
  cat > "$site/enter" <<EOF
#!/bin/sh
# Runs a command inside site $name's lab (the network namespace of its fleet's process).
FLEETSET_TIME_SPEED=$speed exec nsenter --preserve-credentials -U -n -t $pid "\$@"
EOF
  chmod +x "$site/enter"
}

write_inventory() {
  local dir=$1; shift
  {
    echo "# Simulated sites; each reaches its lab's fleetset-cli through its enter script."
    echo "sites:"
    echo "  hosts:"
    for name in "$@"; do
      echo "    $name:"
      echo "      fleetset_cli: \"$dir/$name/enter $cli\""
      echo "      fleetset_history: \"$dir/$name/history.sqlite\""
    done
    echo "  vars:"
    echo "    ansible_connection: local"
    echo "    ansible_python_interpreter: /usr/bin/python3"
    echo "    fleetset_firmware: \"$dir/fw-2.5.0.update\""
    # Two real seconds of search at the sites' speed.
    echo "    fleetset_search_seconds: $((2 * speed))"
  } > "$dir/inventory.yml"
}

[ $# -ge 2 ] || usage
command=$1 dir=$2
shift 2
case $command in
start)
  cameras=6 failing=
  while [ $# -gt 0 ]; do
    case $1 in
    --cameras) cameras=$2; shift 2 ;;
    --failing) failing=$2; shift 2 ;;
    --*) usage ;;
    *) break ;;
    esac
  done
  [ $# -ge 1 ] || usage
  mkdir -p "$dir"
  dir=$(cd "$dir" && pwd)
  for v in 2.5.0 2.6.0; do "$sim" mkfw --out "$dir/fw-$v.update" --version "$v" --size 64K > /dev/null; done
  for name in "$@"; do start_site "$dir" "$name" "$cameras" "$failing"; done
  write_inventory "$dir" "$@"
  echo "sites ${*}: inventory $dir/inventory.yml"
  ;;
record)
  [ $# -eq 1 ] || usage
  site=$dir/$1
  rm -f "$site/record.json"
  kill -USR1 "$(cat "$site/pid")"
  for _ in $(seq 100); do jq -e . "$site/record.json" > /dev/null 2>&1 && break; sleep 0.1; done
  cat "$site/record.json"
  ;;
stop)
  for pidfile in "$dir"/*/pid; do
    [ -f "$pidfile" ] || continue
    kill "$(cat "$pidfile")" 2>/dev/null || true
    rm -f "$pidfile"
  done
  ;;
*) usage ;;
esac
