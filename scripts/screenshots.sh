#!/usr/bin/env bash
# Saves screenshots of the main window as the operator sees it: idle, a card
# shown, continuous reading, no reader found, and a card of each other kind
# (foreign permanent resident card, also with a long English name; residence
# permit; a kind whose layout is not shown). Runs the real program with the
# virtual reader on a virtual display of its own.
#
# Usage: scripts/screenshots.sh [OUTPUT-DIR]   (default docs/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-docs/screenshots}")

if [ -z "${SCREENSHOTS_UNDER_XVFB:-}" ]; then
    for tool in xvfb-run xdotool import; do
        command -v "$tool" >/dev/null || { echo "$tool is missing; scripts/setup.sh installs it" >&2; exit 1; }
    done
    build=${BUILD_DIR:-build}
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" --target zuviruzozozad_probe termb_virtual dialog_screenshots >/dev/null
    # -noreset: Xvfb would otherwise reset when its last client disconnects,
    # and refuse connections for a moment, between the program's runs.
    SCREENSHOTS_UNDER_XVFB=1 BUILD=$(realpath "$build") \
        exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" "$0" "$out"
fi

work=$(mktemp -d)
app_pid=
trap '[ -n "$app_pid" ] && kill -9 "$app_pid" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$out" "$work/app" "$work/rt"
chmod 700 "$work/rt"
cp "$BUILD/zuviruzozozad_probe" "$work/app/zuviruzozozad"
export XDG_RUNTIME_DIR=$work/rt ZUVI_UI_DUMP=$work/dump.txt
export TERMB_LIBRARY=$BUILD/libtermb_virtual.so TERMB_VIRTUAL_SCENARIO=$work/scenario.json

field() { awk -F'\t' -v n="$1" -v c="$2" '$1 == n { print $c; exit }' "$work/dump.txt" 2>/dev/null; }
wait_for() {
    for _ in $(seq 150); do
        [ "$(field "$1" "$2")" = "$3" ] && return 0
        sleep 0.1
    done
    echo "the window did not reach: $1 = $3" >&2
    exit 1
}
start() {
    rm -f "$work/dump.txt"
    "$work/app/zuviruzozozad" >/dev/null 2>&1 &
    app_pid=$!
    wid=$(timeout 15 xdotool search --sync --onlyvisible --name '^zuviruzozozad' | head -1)
    wait_for form_Main 2 1
}
stop() { kill "$app_pid"; wait "$app_pid" 2>/dev/null || true; app_pid=; }
click() { xdotool mousemove --window "$wid" "$1" "$2" click 1; }
shot() {
    sleep 0.4 # let the last change be painted
    import -window "$wid" "$out/$1"
    echo "$out/$1"
}

# A reader on USB with the first built-in card lying on it.
echo '{"latency_scale": 0, "timeline": {"mode": "fixed", "card": 0}}' >"$work/scenario.json"
start
wait_for l_Info 4 "请选择读卡方式"
shot main-idle.png
click 87 140
wait_for l_Info 4 "读卡成功，请取卡"
shot main-card.png
click 87 225
wait_for btn_CycleReadCard 4 "停止循环读卡"
wait_for l_Info 4 "读卡成功，请取卡"
shot main-continuous.png
stop

# A card of each other kind, by its built-in key, read once.
kind_shot() { # key control-to-check file
    printf '{"latency_scale": 0, "cards": ["%s"], "timeline": {"mode": "fixed", "card": 0}}\n' \
        "$1" >"$work/scenario.json"
    start
    click 87 140
    wait_for l_Info 4 "读卡成功，请取卡"
    wait_for "$2" 2 1
    shot "$3"
    stop
}
kind_shot foreign-usa EnglishNameLabel main-foreign.png
kind_shot foreign-long-english-name EnglishNameLabel main-foreign-long-name.png
kind_shot permit-hong-kong PassNoLabel main-permit.png
kind_shot foreign-2023 KindLabel main-unsupported.png

# No reader attached on any port.
echo '{"latency_scale": 0, "ports": []}' >"$work/scenario.json"
start
click 87 140
wait_for l_Info 4 "未找到设备"
shot main-no-device.png
stop

# The settings dialog and the about box, grabbed offscreen over a made-up port list.
QT_QPA_PLATFORM=offscreen "$BUILD/tests/ui/qt/dialog_screenshots" "$out" && echo "$out/settings-dialog.png" "$out/about-box.png"
