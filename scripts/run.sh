#!/usr/bin/env bash
# Builds the tool and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build"

if [ ! -x "$build/zuviruzozozad" ]; then
    echo "The window is not built yet; the core and its tests are ready (scripts/test.sh)."
    exit 0
fi
exec "$build/zuviruzozozad"
