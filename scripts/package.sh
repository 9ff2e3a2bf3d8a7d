#!/usr/bin/env bash
# Builds the Debian package of fleetset in a build directory of its own (build/package:
# Release, with the windows, without tests and benchmarks) and prints the package's path.
# Install it with `apt-get install ./build/package/fleetset_*.deb` (or dpkg -i, then
# apt-get -f install for the libraries it names).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

dir=build/package
cmake -S . -B "$dir" -G Ninja \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX=/usr \
  -DFLEETSET_BUILD_UI=ON \
  -DFLEETSET_BUILD_TESTS=OFF \
  -DFLEETSET_BUILD_BENCH=OFF >/dev/null
scripts/build-lock.sh cmake --build "$dir" -j "$(nproc)"
rm -f "$dir"/fleetset_*.deb
(cd "$dir" && cpack -G DEB)
ls "$dir"/fleetset_*.deb
