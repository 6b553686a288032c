#!/usr/bin/env bash
# Builds the tool and starts it. Without a vendor reader library (TERMB_LIBRARY,
# libtermb.so beside the program, or one on the system's library path) the
# program starts with the virtual reader built beside it, whose fictional
# cards come and go by themselves: press "循环读卡" and watch.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target zuviruzozozad termb_virtual

# Said in one line rather than left to the toolkit's own error.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Built. No display to show the window on (DISPLAY and WAYLAND_DISPLAY are unset); run it from a desktop session, or in a virtual one: xvfb-run -a scripts/run.sh" >&2
    exit 1
fi

exec "$build/zuviruzozozad"
