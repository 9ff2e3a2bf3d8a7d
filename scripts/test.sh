#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs every test; then runs the
# suite again under AddressSanitizer with UndefinedBehaviorSanitizer, the parsers' fuzz
# targets briefly, and the threaded engine's suites under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

jobs=$(nproc)
run_preset() {
  local preset=$1; shift
  echo "=== $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs" "$@"
  ctest --preset "$preset" -j "$jobs"
}

# The ci preset builds as the default one but without debug information, a third of its
# compile time; a failure there is reproduced in build/default or under the sanitizers.
run_preset ci
# Every benchmark in its short mode, a few seconds each: one that breaks or gives up fails here.
echo "=== bench ==="
scripts/bench.sh --short build/ci
run_preset asan
# Every parser of outside bytes under libFuzzer, a fixed number of runs each over its seeds.
echo "=== fuzz ==="
scripts/fuzz.sh --ci
# Only the threaded engine's suites are built here (see the preset): the job engine, discovery,
# the device SDK client, the simulator, the ONVIF client and the station's session. The windows
# are left out (Qt's own threads are not instrumented and would show as races), and so are the
# single-threaded suites, which the two runs before cover.
# Recent kernels randomise mmap more than ThreadSanitizer's memory layout allows;
# setarch -R turns address randomisation off for the run.
echo "=== tsan ==="
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$jobs"
setarch "$(uname -m)" -R ctest --preset tsan -j "$jobs" \
  -R '^(job_tests|job_unit_tests|engine_tests|sdk_tests|sim_tests|onvif_tests|ipctest_core_tests)\.'
