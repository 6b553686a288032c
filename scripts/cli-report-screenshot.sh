#!/usr/bin/env bash
# Renders the console program's HTML report of a run with three readers (the
# virtual reader on USB 1001 and 1002 with a failed read now and then, and a
# serial port without a reader) in headless Chromium, as
# docs/screenshots/cli-report.png.
#
# Usage: scripts/cli-report-screenshot.sh [OUTPUT-PNG]
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-docs/screenshots/cli-report.png}")
build=${BUILD_DIR:-build}
browser=$(command -v chromium || command -v chromium-browser || true)
[ -n "$browser" ] || { echo "chromium is missing (apt-get install chromium)" >&2; exit 1; }
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target zuviruzozozad-cli zuviruzozozad-reader-host termb_virtual >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/zuviruzozozad-cli" "$build/zuviruzozozad-reader-host" "$build/libtermb_virtual.so" "$work/"
# Latencies a fifth of a real reader's, reads that fail now and then, and a
# third reader named on COM3 that is not attached, so the page shows each
# kind of figure.
cat >"$work/scenario.json" <<'JSON'
{"latency_scale": 0.2, "ports": [1001, 1002], "timeline": {"mode": "fixed", "card": 0},
 "faults": {"read_failure": {"probability": 0.1, "seed": 7}}}
JSON
(cd "$work" && ZUVI_SERIAL_PORTS= TERMB_VIRTUAL_SCENARIO="$work/scenario.json" \
    ./zuviruzozozad-cli --library virtual --port 1001,1002,COM3 --repeat 40 \
    --report "$work/report.html" >/dev/null) || true
mkdir -p "$(dirname "$out")"
"$browser" --headless --no-sandbox --disable-gpu --hide-scrollbars --force-device-scale-factor=1 \
    --window-size=1000,2560 --screenshot="$out" "file://$work/report.html" 2>/dev/null
echo "$out"
