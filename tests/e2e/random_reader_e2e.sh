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

# shellcheck source=e2e_setup.sh
source "$(dirname "$0")/e2e_setup.sh"
export TERMB_LIBRARY=$library
export RANDOM_TERMB_COUNT_FILE=$work/cards

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
