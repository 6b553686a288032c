#!/usr/bin/env bash
# The console program's own cost per read pass, next to the window's read
# pass (reader_bench's BM_ReadPass) in the same run: both against the virtual
# reader at zero latency with a card lying on it, so every microsecond is
# ours. The console program's figures are of the whole process (start-up,
# library loading, output) over CLI_BENCH_PASSES passes of --repeat.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BENCH_BUILD_DIR:-build-bench}
passes=${CLI_BENCH_PASSES:-20000}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZUVI_BUILD_BENCH=ON \
    -DZUVI_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target reader_bench zuviruzozozad-cli termb_virtual >/dev/null

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
# A copy of the program, so that its photo files go to the scratch directory;
# the scenario is BM_ReadPass's.
cp "$build/zuviruzozozad-cli" "$dir/"
echo '{"latency_scale": 0, "ports": [1001], "timeline": {"mode": "fixed", "card": 1}}' \
    >"$dir/scenario.json"
export TERMB_LIBRARY=$PWD/$build/libtermb_virtual.so

echo "machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "== window's read pass (reader_bench BM_ReadPass)"
"$build/bench/reader_bench" --benchmark_filter='^BM_ReadPass/' --benchmark_counters_tabular=true \
    2>/dev/null | tail -n 3

for output in --json text; do
    args=(--repeat "$passes")
    [ "$output" = --json ] && args+=(--json)
    TIMEFORMAT='%R %U %S'
    { time TERMB_VIRTUAL_SCENARIO=$dir/scenario.json "$dir/zuviruzozozad-cli" "${args[@]}" \
        >"$dir/out" ; } 2>"$dir/time"
    read -r real user sys <"$dir/time"
    cards=$(grep -c -e '"event":"card"' -e '^Card ' "$dir/out" || true)
    awk -v n="$passes" -v cards="$cards" -v real="$real" -v cpu="$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')" -v out="$output" '
        BEGIN { printf "== zuviruzozozad-cli --repeat %d (%s): %d cards, %.0f passes/s, %.3f ms wall and %.3f ms CPU per pass\n",
                       n, out, cards, n / real, 1000 * real / n, 1000 * cpu / n }'
done
