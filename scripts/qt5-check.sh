#!/usr/bin/env bash
# Builds the tool and the tests of its windows against Qt 5.15 (the last Qt
# line with 32-bit Windows builds) in build-qt5/ and runs them, the window
# tests on the offscreen platform, the end-to-end test under Xvfb. The core's
# suites use no Qt and run in the main build, so they are left out here, and
# nothing is optimised: this build is for the tests only.
# Installs Debian's Qt 5 development packages first when they are missing; the
# rest comes from scripts/setup.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

packages=(qtbase5-dev qtbase5-dev-tools libqt5network5 libqt5test5)
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build=${BUILD_DIR:-build-qt5}
# C++17, as the 32-bit MinGW 8.1 kit of Qt 5.15.2 on Windows builds it.
cmake -S . -B "$build" -G Ninja -DZUVI_QT_MAJOR=5 -DZUVI_CXX_STANDARD=17 -DZUVI_TEST_CORE=OFF \
    -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g0 >/dev/null
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@"
