#!/usr/bin/env bash
# install_layout.sh BUILD_DIR WITH_UI BINDIR LIBDIR INCLUDEDIR DATADIR
# Installs the build into a temporary prefix and checks that every part lands where a Linux
# program keeps it, and that the installed programs run from there: the SDK library found
# through their RUNPATH, the English texts in the data directory, --version without a display.
set -euo pipefail
build=$1 with_ui=$2 bindir=$3 libdir=$4 includedir=$5 datadir=$6

prefix=$(mktemp -d /tmp/fleetset-install-XXXXXX)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
bin=$prefix/$bindir data=$prefix/$datadir/fleetset

expected=("$bindir/fleetset-cli" "$bindir/fleetset-sim" "$libdir/libovix_client.so" "$includedir/ovix_client.h"
          "$datadir/fleetset/lumora_en.ini" "$datadir/fleetset/lumora_zh_CN.ini")
if [ "$with_ui" = ON ]; then
  expected+=("$bindir/fleetset" "$datadir/fleetset/logo.bmp"
             "$datadir/applications/fleetset.desktop" "$datadir/applications/fleetset-test-station.desktop")
  for size in 48 128 256; do expected+=("$datadir/icons/hicolor/${size}x${size}/apps/fleetset.png"); done
fi
for file in "${expected[@]}"; do [ -f "$prefix/$file" ] || fail "$file not installed"; done
if compgen -G "$bin/*.ini" >/dev/null || compgen -G "$bin/*.bmp" >/dev/null; then fail "data files beside the programs"; fi
if [ "$with_ui" = ON ]; then
  for size in 48 128 256; do
    file "$prefix/$datadir/icons/hicolor/${size}x${size}/apps/fleetset.png" | grep -q "PNG image data, $size x $size" ||
      fail "the ${size}px icon is not a $size x $size PNG"
  done
fi

# The library comes from the prefix, not from the build tree.
loaded=$(ldd "$bin/fleetset-cli" | sed -n 's/.*libovix_client\.so => \(.*\) (.*/\1/p')
[ -n "$loaded" ] && [ "$(realpath "$loaded")" = "$(realpath "$prefix/$libdir/libovix_client.so")" ] ||
  fail "fleetset-cli loads the SDK library from '$loaded', not from the prefix"

[ "$("$bin/fleetset-cli" --version)" = "$("$bin/fleetset-sim" --version | sed 's/^fleetset-sim/fleetset-cli/')" ] ||
  fail "fleetset-cli and fleetset-sim report different versions"
"$bin/fleetset-cli" --version | grep -Eq '^fleetset-cli [0-9]+\.[0-9]+\.[0-9]+$' || fail "fleetset-cli --version"

# A job refused before anything is sent, in the words of the installed English file.
text=$(sed -n 's/^IDS_INPUT_USER_NAME=//p' "$data/lumora_en.ini" | tr -d '\r')
[ -n "$text" ] || fail "no IDS_INPUT_USER_NAME in the installed English file"
rc=0; refusal=$("$bin/fleetset-cli" run --all --user "" 2>&1) || rc=$?
[ "$rc" -eq 2 ] || fail "the refusal exited with $rc: $refusal"
case "$refusal" in *"$text"*) ;; *) fail "fleetset-cli did not find its texts: $refusal" ;; esac

if [ "$with_ui" = ON ]; then
  # As the menu starts it, on a terminal without a display.
  command=$(sed -n 's/^Exec=//p' "$prefix/$datadir/applications/fleetset.desktop")
  version=$(env -u DISPLAY -u WAYLAND_DISPLAY PATH="$bin:$PATH" $command --version) || fail "$command --version"
  [ "$version" = "fleetset $("$bin/fleetset-cli" --version | cut -d' ' -f2)" ] || fail "fleetset --version said: $version"
fi
echo "installed layout and programs fine in $prefix"
