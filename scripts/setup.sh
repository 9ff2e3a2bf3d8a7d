#!/usr/bin/env bash
# Installs the Debian 12 packages that fleetset needs to build, test and run. Idempotent:
# asks apt only for what is missing, and refreshes the package lists only then.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config       # compiler and build
  libgtest-dev libgmock-dev              # tests
  libbenchmark-dev time bc               # benchmarks, and the command-line benchmark's timing
  libtinyxml-dev                         # discovery XML
  libcli11-dev                           # command-line flags
  nlohmann-json3-dev                     # JSON output and simulator configuration
  libsodium-dev                          # device SDK: login challenge-response, firmware digests
  libpugixml-dev                         # ONVIF: namespaced XML of SOAP and WS-Discovery messages
  libssl-dev                             # ONVIF: SHA-1/SHA-256/MD5, Base64 and random nonces for its logins (libcrypto)
  libcurl4-openssl-dev                   # ONVIF: the device service client's HTTP
  libcpp-httplib-dev                     # ONVIF tests: a device service on loopback
  qt6-base-dev xvfb xauth fonts-wqy-microhei  # the windows, a virtual display, their Chinese texts
  qtkeychain-qt6-dev                     # the batch window keeps its passwords in the desktop's secret store
  libqrencode-dev                         # the test window shows the camera's cloud UID as a QR symbol
  qt6-multimedia-dev                     # the test window plays the camera's microphone
  iproute2 util-linux                    # the private network lab (ip, unshare)
  jq                                     # the command line's lab tests read its JSON reports
  libsqlite3-dev                         # the job history database
  ansible-core ansible-lint              # the Ansible collection (contrib/ansible) and its test
  clang libclang-rt-14-dev               # the fuzz preset: clang with libFuzzer and its sanitizers
  dpkg-dev file                          # scripts/package.sh: the .deb's dependencies (dpkg-shlibdeps)
  onvif-tools                            # onvif-util: an ONVIF client nobody here wrote, a test peer
  nodejs                                 # runs the npm test peer (tests/peers)
)
# npm comes with some builds of nodejs (NodeSource's); Debian's own ships it apart.
command -v npm >/dev/null 2>&1 || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

# The npm package onvif, pinned by tests/peers/package-lock.json: the second ONVIF test peer.
peers=$(dirname "$0")/../tests/peers
pinned=$(jq -r '.packages["node_modules/onvif"].version' "$peers/package-lock.json")
installed=$(jq -r .version "$peers/node_modules/onvif/package.json" 2>/dev/null || true)
if [ "$installed" != "$pinned" ]; then
  (cd "$peers" && npm ci --no-audit --no-fund --loglevel=error)
fi
