#!/usr/bin/env bash
# Fuzzes every parser that takes outside bytes (tests/fuzz), one target after another.
#   scripts/fuzz.sh [SECONDS]        each target for SECONDS (default 60) on its seeds
#   scripts/fuzz.sh --ci             each target for its fixed number of runs (the CI stage)
#   scripts/fuzz.sh --keep [SECONDS] as the first, then adds the new inputs that reach new
#                                    code to the seeds in tests/fuzz/corpus
# Builds the fuzz preset first (through the build lock). Prints one line per target:
# executions, executions per second, findings; a finding's files stay in
# build/fuzz/fuzz-runs/<target>/findings. Exits non-zero when any target found something.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=time
keep=0
seconds=60
while [ $# -gt 0 ]; do
  case $1 in
    --ci) mode=ci ;;
    --keep) keep=1 ;;
    -h|--help) sed -n '2,9p' "$0"; exit 0 ;;
    *) seconds=$1 ;;
  esac
  shift
done

scripts/build-lock.sh cmake --preset fuzz >/dev/null
scripts/build-lock.sh cmake --build --preset fuzz -j "$(nproc)"

binaries=build/fuzz/tests/fuzz
runs=build/fuzz/fuzz-runs
failed=0
started=$SECONDS
while read -r name ci_runs flags; do
  [ -n "$name" ] || continue
  if [ "$mode" = ci ]; then limit=(-runs="$ci_runs" -seed=1); else limit=(-max_total_time="$seconds"); fi
  # shellcheck disable=SC2086  # the flags are words
  if ! tests/fuzz/run_target.sh "$name" "$binaries/fuzz_$name" "tests/fuzz/corpus/$name" "$runs/$name" "${limit[@]}" $flags; then
    failed=$((failed + 1))
  fi
  if [ "$keep" = 1 ]; then
    # shellcheck disable=SC2086
    "$binaries/fuzz_$name" -merge=1 $flags "tests/fuzz/corpus/$name" "$runs/$name/new" >"$runs/$name/merge.log" 2>&1
  fi
done <"$binaries/targets.txt"

echo "fuzz: $((SECONDS - started)) s, $failed target(s) with findings"
[ "$failed" -eq 0 ]
