#!/usr/bin/env bash
# Runs every benchmark in turn, never two at once, each inside a network lab of its own where it
# opens sockets, and prints one line per benchmark; exits 1 when any gave up.
#
#   scripts/bench.sh [--short] [BUILD_DIR]      (default build/default)
#
# --short runs each in its short mode, a few seconds each, as CI does: a benchmark that breaks
# fails there. Without it, the full runs whose figures the README quotes, their output shown.
set -euo pipefail
cd "$(dirname "$0")/.."

short=0
if [ "${1:-}" = "--short" ]; then
  short=1
  shift
fi
build=${1:-build/default}

# name, whether it needs the lab, its command; the short mode's arguments are added below.
benchmarks=(
  "sdk_upgrade_bench|no|$build/bench/sdk_upgrade_bench"
  "discovery_bench|lab|$build/bench/discovery_bench"
  "onvif_discovery_bench|lab|$build/bench/onvif_discovery_bench"
  "job_bench|lab|$build/bench/job_bench"
  "cli_job_bench|lab|bench/cli_job_bench.sh"
  "onvif_upgrade_bench|lab|bench/onvif_upgrade_bench.sh"
  "window_bench|lab|$build/bench/window_bench"
  "station_bench|lab|$build/bench/station_bench"
)
short_arguments() {
  case $1 in
    cli_job_bench | onvif_upgrade_bench) echo "--short $build" ;;
    station_bench) echo "--seconds 5" ;;
    *) echo "--short" ;;
  esac
}
full_arguments() {
  case $1 in
    cli_job_bench | onvif_upgrade_bench) echo "$build" ;;
    *) echo "" ;;
  esac
}
# The windows' benchmarks exist only in a build with the windows.
ui_built() {
  ! grep -q '^FLEETSET_BUILD_UI:BOOL=OFF' "$build/CMakeCache.txt" 2>/dev/null
}

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
failed=0
for entry in "${benchmarks[@]}"; do
  IFS='|' read -r name where program <<<"$entry"
  if [ ! -x "$program" ]; then
    if [[ $name == window_bench || $name == station_bench ]] && ! ui_built; then
      echo "$name: skipped (built without the windows)"
      continue
    fi
    echo "$name: FAILED: $program is not built"
    failed=1
    continue
  fi
  # shellcheck disable=SC2207  # the arguments are single words
  if [ "$short" = 1 ]; then arguments=($(short_arguments "$name")); else arguments=($(full_arguments "$name")); fi
  command=("$program" "${arguments[@]}")
  [ "$where" = lab ] && command=(scripts/netlab.sh "${command[@]}")
  log=$logs/$name.log
  started=$(date +%s.%N)
  status=0
  if [ "$short" = 1 ]; then
    "${command[@]}" >"$log" 2>&1 || status=$?
  else
    "${command[@]}" 2>&1 | tee "$log" || status=$?
  fi
  took=$(printf '%.0f' "$(echo "$(date +%s.%N) - $started" | bc -l)")
  if [ "$status" = 0 ]; then
    echo "$name: ok in $took s"
  else
    # The benchmark's own reason, else its last line.
    reason=$(grep -m 1 ': gave up: ' "$log" || tail -n 1 "$log")
    echo "$name: FAILED (exit $status) in $took s: $reason"
    [ "$short" = 1 ] && sed 's/^/    /' "$log" | tail -n 30
    failed=1
  fi
done
exit "$failed"
