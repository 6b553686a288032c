#!/usr/bin/env bash
# Builds the benchmarks (Release, build-bench) and prints their figures: the
# card view's cost per card, the reading thread's cost per card and while it
# waits, memory after 10,000 cards, start-up to the first painted window, the
# cost of running the reader library in a reader host, and on a virtual X
# display (Xvfb) the real program: start-up beside a Qt hello-world, read call
# to card on screen with the library in process and in a reader host, the
# painted card view, and the CPU the running program takes while reading, each
# beside its reference from the same run. Takes about three minutes; not part
# of the tests.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BENCH_BUILD_DIR:-build-bench}
runs=${STARTUP_RUNS:-10}
cpu_seconds=${CPU_SECONDS:-10}

if [ -z "${BENCH_UNDER_XVFB:-}" ]; then
    for tool in xvfb-run xdotool; do
        command -v "$tool" >/dev/null || { echo "$tool is missing; scripts/setup.sh installs it" >&2; exit 1; }
    done
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZUVI_BUILD_BENCH=ON \
        -DZUVI_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build" --target region_bench reader_bench startup_probe hello_probe card_latency_probe wait_reference \
        host_latency_probe zuviruzozozad zuviruzozozad-reader-host termb_virtual
    # -noreset: Xvfb would otherwise reset when its last client disconnects,
    # and refuse connections for a moment, between the program's runs.
    BENCH_UNDER_XVFB=1 BENCH_BUILD=$(realpath "$build") \
        exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" "$0"
fi

build=$BENCH_BUILD
work=$(mktemp -d)
app_pid=
trap '[ -n "$app_pid" ] && kill -9 "$app_pid" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/app" "$work/rt"
chmod 700 "$work/rt"
cp "$build/zuviruzozozad" "$build/zuviruzozozad-reader-host" "$work/app/"
export XDG_RUNTIME_DIR=$work/rt
export TERMB_LIBRARY=$build/libtermb_virtual.so
unset QT_QPA_PLATFORM

echo "machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)"
echo "load average at the start: $(cut -d ' ' -f 1-3 /proc/loadavg)"
tmp=$(dirname "$(mktemp -u)")
echo "photo files of the read pass in $tmp: $(stat -f -c %T "$tmp") ($(df --output=fstype "$tmp" | tail -n 1))"
QT_QPA_PLATFORM=offscreen "$build/bench/reader_bench" --benchmark_counters_tabular=true
"$build/bench/host_latency_probe"
QT_QPA_PLATFORM=offscreen "$build/bench/region_bench" --benchmark_counters_tabular=true
echo "painted on the X server (xcb):"
QT_QPA_PLATFORM=xcb "$build/bench/region_bench" --benchmark_filter=ShowCardInfo

# Median, min and max of numbers on standard input.
summary() {
    sort -n | awk '{ t[NR] = $1 } END { printf "median %.1f ms (min %.1f, max %.1f, %d runs)", t[int((NR + 1) / 2)], t[1], t[NR], NR }'
}
median() { sort -n | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'; }

# Start-up: from just before the process is started to its window's first
# paint event (its first drawing begins), and to the end of that drawing (the
# whole window painted and flushed), on the X server; the program and a
# hello-world take turns.
probe() { ZUVI_BENCH_T0_NS=$(date +%s%N) "$build/bench/${1:-startup_probe}"; }
: >"$work/start.txt"
: >"$work/hello.txt"
for _ in $(seq "$runs"); do
    probe hello_probe >>"$work/hello.txt"
    probe >>"$work/start.txt"
done
# Column $1 of the probes' lines: the program's times, the hello-world's, and
# the ratio of their medians.
startup_line() {
    local ours hello
    ours=$(cut -d ' ' -f "$1" "$work/start.txt" | median)
    hello=$(cut -d ' ' -f "$1" "$work/hello.txt" | median)
    echo "$(cut -d ' ' -f "$1" "$work/start.txt" | summary); hello-world" \
        "$(cut -d ' ' -f "$1" "$work/hello.txt" | summary); ratio of medians" \
        "$(awk -v a="$ours" -v b="$hello" 'BEGIN { printf "%.2f", a / b }')"
}
echo "start-up to the first paint event (X11): $(startup_line 1)"
echo "start-up to the first frame drawn whole (X11): $(startup_line 2)"
: >"$work/start-off.txt"
for _ in $(seq "$runs"); do QT_QPA_PLATFORM=offscreen probe | cut -d ' ' -f 1 >>"$work/start-off.txt"; done
echo "start-up to the first paint event (offscreen): $(summary <"$work/start-off.txt")"

# Read call returning to the card on screen: cards come and go on a reader
# with a fifth of the default latencies.
echo '{"ports": [1001], "latency_scale": 0.2, "timeline": {"mode": "cycle", "on_ms": 300, "off_ms": 200}}' >"$work/cycle.json"
# In process, then with the library in a reader host, as the program runs it.
card_latency() {
    local med p90 worst
    read -r med p90 worst < <(TERMB_VIRTUAL_SCENARIO=$work/cycle.json ZUVI_BENCH_CARDS=${CARDS:-40} \
        "$build/bench/card_latency_probe" "$@")
    echo "median $med ms, 90th percentile $p90 ms, max $worst ms"
}
echo "read call returning -> card drawn (X11, ${CARDS:-40} cards): in process $(card_latency);" \
    "through the reader host $(card_latency --hosted)"

# CPU of the running program: nanoseconds on a CPU of all its threads and
# those of its children, its reader host (the scheduler's own account, finer
# than utime + stime's clock ticks).
cpu_ns() {
    local pids
    pids="$1 $(pgrep -P "$1" | tr '\n' ' ')"
    for pid in $pids; do cat /proc/"$pid"/task/*/schedstat 2>/dev/null; done |
        awk '{ s += $1 } END { print s }'
}
# Starts the program, clicks continuous reading unless $1 is "idle", and
# prints the share of one core it used over CPU_SECONDS.
cpu_share() {
    "$work/app/zuviruzozozad" >/dev/null 2>&1 &
    app_pid=$!
    local wid
    wid=$(timeout 15 xdotool search --sync --onlyvisible --pid "$app_pid" --name '^zuviruzozozad' | head -1)
    sleep 1
    # 87,225 in the main window's client area is the continuous-read button.
    [ "$1" = idle ] || xdotool mousemove --window "$wid" 87 225 click 1
    sleep 2
    share_then_end "$app_pid"
    app_pid=
}
# The share of one core process $1 takes over CPU_SECONDS, printed; then the
# process is ended.
share_then_end() {
    local c0 t0 c1 t1
    c0=$(cpu_ns "$1") t0=$(date +%s%N)
    sleep "$cpu_seconds"
    c1=$(cpu_ns "$1") t1=$(date +%s%N)
    kill "$1"
    wait "$1" 2>/dev/null || true
    awk -v c="$((c1 - c0))" -v t="$((t1 - t0))" 'BEGIN { printf "%.2f", 100 * c / t }'
}
fast='{"SDT_OpenPort": 20, "SDT_ClosePort": 20, "SDT_GetSAMIDToStr": 20, "SDT_StartFindIDCard": 20, "SDT_SelectIDCard": 20, "SDT_ReadBaseMsg": 20, "SDT_ReadBaseFPMsg": 20, "SDT_ReadNewAppMsg": 20}'
echo "{\"ports\": [1001], \"latency_ms\": $fast, \"timeline\": {\"mode\": \"fixed\", \"card\": null}}" >"$work/fast.json"
echo '{"ports": [1001], "timeline": {"mode": "fixed", "card": null}}' >"$work/default.json"
echo '{"ports": [1001], "timeline": {"mode": "fixed", "card": 0}}' >"$work/card.json"
echo "CPU of the running program (X11, ${cpu_seconds} s each, % of one core; the library in process" \
    "unless said otherwise):"
export TERMB_IN_PROCESS=1
echo "  idle window (reference): $(TERMB_VIRTUAL_SCENARIO=$work/default.json cpu_share idle)"
echo "  continuous reading, no reader library: $(TERMB_LIBRARY=$work/absent/libtermb.so cpu_share read)"
fast_share=$(TERMB_VIRTUAL_SCENARIO=$work/fast.json cpu_share read)
echo "  continuous reading, no card, reader calls of 20 ms: $fast_share"
# Its floor: each pass makes five reader calls of 20 ms one after the other
# (close, open, module number, find, select), so the reading thread waits 50
# times a second; a bare thread waiting 20 ms back to back is woken as often.
"$build/bench/wait_reference" 20 &
ref_pid=$!
sleep 1
ref_share=$(share_then_end "$ref_pid")
wait "$ref_pid" 2>/dev/null || true
echo "    reference, a bare thread waiting 20 ms back to back (50 wake-ups a second): $ref_share;" \
    "the program's own share above it: $(awk -v a="$fast_share" -v b="$ref_share" 'BEGIN { printf "%.2f", a - b }')"
echo "  continuous reading, no card, default latencies: $(TERMB_VIRTUAL_SCENARIO=$work/default.json cpu_share read)"
echo "  continuous reading, card left on the reader, default latencies: $(TERMB_VIRTUAL_SCENARIO=$work/card.json cpu_share read)"
echo "  through the reader host, program and host together:" \
    "no card, reader calls of 20 ms: $(TERMB_IN_PROCESS=0 TERMB_VIRTUAL_SCENARIO=$work/fast.json cpu_share read);" \
    "card left on the reader: $(TERMB_IN_PROCESS=0 TERMB_VIRTUAL_SCENARIO=$work/card.json cpu_share read)"
echo "  idle window again (reference): $(TERMB_VIRTUAL_SCENARIO=$work/default.json cpu_share idle)"
echo "load average at the end: $(cut -d ' ' -f 1-3 /proc/loadavg)"
