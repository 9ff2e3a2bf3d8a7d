#!/usr/bin/env bash
# Runs one fuzz target over its seeds without writing to them: new inputs go to WORK/new,
# findings (crash, leak, timeout, out-of-memory files) to WORK/findings, the output to
# WORK/log. Prints one line: executions, executions per second, findings. Fails on a finding.
#   run_target.sh NAME FUZZER CORPUS WORK [libFuzzer flags...]
set -uo pipefail
name=$1 fuzzer=$2 corpus=$3 work=$4
shift 4

rm -rf "$work"
mkdir -p "$work/new" "$work/findings"
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
"$fuzzer" -artifact_prefix="$work/findings/" -print_final_stats=1 "$@" "$work/new" "$corpus" >"$work/log" 2>&1
status=$?

executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1)
rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/log" | tail -n 1)
findings=$(find "$work/findings" -type f | wc -l)
printf '%-16s %12s executions %8s exec/s %3d findings\n' "$name" "${executions:-?}" "${rate:-?}" "$findings"
if [ "$status" -ne 0 ] || [ "$findings" -gt 0 ]; then
  tail -n 60 "$work/log"
  find "$work/findings" -type f
  exit 1
fi
