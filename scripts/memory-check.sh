#!/usr/bin/env bash
# Resident memory of the real program over a long run of continuous reading
# against a reader that answers at random (tests/soak/random_termb.cpp), so
# that nearly every card brings characters not drawn before. Prints the
# resident size (VmRSS) and the cards read so far once reading has started,
# every minute and at the end, the growth, and how the end figure splits into
# anonymous memory (heap) and mapped files. Not part of the test run: it takes minutes.
#
# Environment:
#   BUILD_DIR             build tree to build and take the program from (build)
#   MEMORY_CHECK_SECONDS  length of the run (300)
#   MEMORY_CHECK_SAMPLES  file to append every 5-second sample to ("seconds KiB cards")
#   MEMORY_CHECK_WRAP     command to run the program under, e.g. "heaptrack -o /tmp/zuvi"
#   MEMORY_CHECK_PROGRAM  another build of the program to run, e.g. one of main to compare
#   RANDOM_TERMB_SEED     the random reader's seed (1)
set -euo pipefail
cd "$(dirname "$0")/.."

for tool in xvfb-run xdotool; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done
build=${BUILD_DIR:-build}
seconds=${MEMORY_CHECK_SECONDS:-300}
if [ -z "${MEMORY_CHECK_UNDER_XVFB:-}" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" --target zuviruzozozad random_termb >/dev/null
    # -noreset: the server would otherwise reset when the last client ends.
    MEMORY_CHECK_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" "$0" "$@"
fi

work=$(mktemp -d)
app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# A copy of the program, so that config.ini and the photo files go to the
# scratch directory; the single-instance lock to its own runtime directory.
mkdir -p "$work/app" "$work/rt"
chmod 700 "$work/rt"
cp "${MEMORY_CHECK_PROGRAM:-$build/zuviruzozozad}" "$work/app/zuviruzozozad"
export XDG_RUNTIME_DIR=$work/rt
export TERMB_LIBRARY=$PWD/$build/tests/soak/librandom_termb.so
export RANDOM_TERMB_COUNT_FILE=$work/cards
unset QT_QPA_PLATFORM
# shellcheck disable=SC2086 # the wrapper is a command with its arguments
${MEMORY_CHECK_WRAP:-} "$work/app/zuviruzozozad" >"$work/out.txt" 2>&1 &
wid=$(timeout 30 xdotool search --sync --onlyvisible --name '^zuviruzozozad' | head -1)
[ -n "$wid" ] || { echo "the main window did not appear" >&2; cat "$work/out.txt" >&2; exit 1; }
# The program itself, also when it runs under a wrapper.
app_pid=$(xdotool getwindowpid "$wid")
xdotool mousemove --window "$wid" 87 225 click 1 # continuous reading

rss() { awk '/^VmRSS:/ { print $2 }' "/proc/$app_pid/status"; }
cards() { cat "$work/cards" 2>/dev/null || echo 0; }
cpu() { awk '{ printf "%.0f", ($14 + $15) / '"$(getconf CLK_TCK)"' }' "/proc/$app_pid/stat"; }

echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg); seed ${RANDOM_TERMB_SEED:-1}, ${seconds} s"
sleep 2
start=$(rss)
printf '%6s %10s %8s\n' "time" "VmRSS KiB" "cards"
printf '%6s %10d %8d\n' "0:00" "$start" "$(cards)"
t=0
while [ "$t" -lt "$seconds" ]; do
    sleep 5
    t=$((t + 5))
    kill -0 "$app_pid" 2>/dev/null || { echo "the program ended after $t s" >&2; cat "$work/out.txt" >&2; exit 1; }
    now=$(rss)
    [ -n "${MEMORY_CHECK_SAMPLES:-}" ] && echo "$t $now $(cards)" >>"$MEMORY_CHECK_SAMPLES"
    if [ $((t % 60)) -eq 0 ] || [ "$t" -ge "$seconds" ]; then
        printf '%3d:%02d %10d %8d\n' $((t / 60)) $((t % 60)) "$now" "$(cards)"
    fi
done
end=$(rss)
echo "growth: $((end - start)) KiB ($start -> $end KiB), CPU used $(cpu) s"
awk '/^Rss:/ { r = $2 } /^Anonymous:/ { a = $2 }
     END { printf "at the end: anonymous %d KiB, mapped files %d KiB\n", a, r - a }' \
    "/proc/$app_pid/smaps_rollup"
# Ends the program (and lets a wrapper write its data).
kill "$app_pid"
for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.2; done
app_pid=
wait || true
