#!/usr/bin/env bash
# Builds the .deb as docs/readers.md describes, in its own build folder
# (build-deb, or PACKAGE_BUILD_DIR), and runs lintian on it. Any line lintian
# prints fails the check; its notice about running as root is not a finding.
#
# Usage: package-check.sh [BUILD_DIR]
# With BUILD_DIR, a build the tests have just made (configured with the
# prefix /usr) is packaged as it is, instead of building everything again:
# the package takes only what is installed, stripped.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

build=${1:-${PACKAGE_BUILD_DIR:-build-deb}}
mkdir -p "$build"
log=$(realpath "$build")/package-check.log
: >"$log"
quiet() { "$@" >>"$log" 2>&1 || { tail -n 30 "$log"; echo "package-check: failed: $*" >&2; exit 1; }; }

if [ $# -gt 0 ]; then
    quiet cmake -S . -B "$build" -DCMAKE_INSTALL_PREFIX=/usr
else
    quiet cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
        -DZUVI_BUILD_TESTS=OFF
fi
quiet cmake --build "$build"
rm -f "$build"/zuviruzozozad_*.deb
(cd "$build" && quiet cpack -G DEB)
deb=$(ls "$build"/zuviruzozozad_*.deb)

findings=$(lintian "$deb" 2>&1 | grep -vx 'running with root privileges is not recommended!' || true)
if [ -n "$findings" ]; then
    echo "$findings"
    echo "package-check: lintian does not accept $(basename "$deb")" >&2
    exit 1
fi
echo "package-check: lintian accepts $(basename "$deb")"
