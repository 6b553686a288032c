#!/usr/bin/env bash
# Builds the benchmarks (Release, build-bench) and prints their figures: the
# card view's cost per card, the reading thread's cost per card and while it
# waits, memory after 10,000 cards, and start-up to the first painted window.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BENCH_BUILD_DIR:-build-bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZUVI_BUILD_BENCH=ON \
    -DZUVI_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target region_bench reader_bench startup_probe termb_virtual

export TERMB_LIBRARY=$PWD/$build/libtermb_virtual.so
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
echo "machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)"
"$build/bench/reader_bench" --benchmark_counters_tabular=true
"$build/bench/region_bench" --benchmark_counters_tabular=true

# Start-up: from just before the process is started to the main window's
# first paint event, on the offscreen platform with the virtual reader.
runs=${STARTUP_RUNS:-10}
times=()
for _ in $(seq "$runs"); do
    times+=("$(ZUVI_BENCH_T0_NS=$(date +%s%N) "$build/bench/startup_probe")")
done
printf '%s\n' "${times[@]}" | sort -n | awk -v n="$runs" '
    { t[NR] = $1 }
    END { printf "start-up to first paint: median %.1f ms, min %.1f ms, max %.1f ms (%d runs)\n",
                 t[int((n + 1) / 2)], t[1], t[n], n }'
