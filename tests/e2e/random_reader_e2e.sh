#!/usr/bin/env bash
# The real program in continuous reading against a reader library that
# answers every call at random (tests/soak/random_termb.cpp), under Xvfb: it
# must keep running through a few hundred cards of random text, codes and
# photos, and end cleanly when its window is closed. Time is no criterion:
# on a slow machine it sees fewer cards.
#
# Usage: random_reader_e2e.sh PROGRAM RANDOM-READER-LIBRARY X11-CLOSE
set -uo pipefail

program=$1 library=$2 closer=$3

for tool in Xvfb xvfb-run xdotool; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done
if [ -z "${E2E_UNDER_XVFB:-}" ]; then
    E2E_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" "$0" "$@"
fi

work=$(mktemp -d)
app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill -9 "$app_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    echo "--- program output:"
    cat "$work/out.txt" 2>/dev/null
    exit 1
}

mkdir -p "$work/app" "$work/rt"
chmod 700 "$work/rt"
cp "$program" "$work/app/zuviruzozozad"
export XDG_RUNTIME_DIR=$work/rt
export TERMB_LIBRARY=$library
export RANDOM_TERMB_COUNT_FILE=$work/cards
unset QT_QPA_PLATFORM

"$work/app/zuviruzozozad" >"$work/out.txt" 2>&1 &
app_pid=$!
wid=$(timeout 30 xdotool search --sync --onlyvisible --name '^zuviruzozozad' | head -1)
[ -n "$wid" ] || fail "the main window did not appear"
xdotool mousemove --window "$wid" 87 225 click 1 # continuous reading

# 300 cards (three releases of the glyph caches), or as many as 20 s give.
cards=0
for _ in $(seq 200); do
    kill -0 "$app_pid" 2>/dev/null || fail "the program ended after $cards cards"
    cards=$(cat "$work/cards" 2>/dev/null || echo 0)
    [ "$cards" -ge 300 ] && break
    sleep 0.1
done
echo "cards read: $cards"
[ "$cards" -gt 0 ] || fail "no card was read"

"$closer" "$wid" || fail "could not send the close request"
wait "$app_pid"
rc=$?
app_pid=
[ "$rc" -eq 0 ] || fail "exit code $rc after closing"
if grep -qiE 'terminate called|QThread: Destroyed|Segmentation|ASSERT' "$work/out.txt"; then
    fail "the program reported a fault"
fi
echo "PASS"
