#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang (coverage, AddressSanitizer,
# UndefinedBehaviorSanitizer) into build-fuzz and runs each for FUZZ_SECONDS
# seconds (default 10) from its seed corpus in fuzz/corpus/<target>. New
# inputs go to build-fuzz/corpus/<target>; crashes to build-fuzz/artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-10}
build=${FUZZ_BUILD_DIR:-build-fuzz}
targets=(fuzz_decode_base_text fuzz_wrap_text fuzz_ini fuzz_wlt2bmp fuzz_photo fuzz_win32_bmp)
if [ $# -gt 0 ]; then targets=("$@"); fi

# -O1 with line tables, as for the sanitizer build: much quicker to build, and
# the short runs here lose little speed.
# A unity build, as for the sanitizer build: each target's sources compiled as one.
cmake -S fuzz -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_UNITY_BUILD=ON >/dev/null
cmake --build "$build" --target "${targets[@]}"

mkdir -p "$build/artifacts"
# One target's run; its log is $build/<target>.log.
fuzz_one() {
    local target=$1 leaks=1
    local work="$build/corpus/$target"
    mkdir -p "$work"
    # Qt and fontconfig keep caches that look like leaks to the leak check;
    # the other targets run with it.
    if [ "$target" = fuzz_photo ]; then leaks=0; fi
    QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=$leaks \
        "$build/$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$target-" "$work" "fuzz/corpus/$target" \
        >"$build/$target.log" 2>&1
}

# Two targets at a time, one on each core.
failed=()
for ((i = 0; i < ${#targets[@]}; i += 2)); do
    pids=()
    for target in "${targets[@]:i:2}"; do
        echo "== $target: ${seconds}s"
        fuzz_one "$target" &
        pids+=($!)
    done
    for j in "${!pids[@]}"; do
        wait "${pids[j]}" || failed+=("${targets[i + j]}")
    done
done
for target in "${failed[@]}"; do
    tail -n 60 "$build/$target.log"
    echo "fuzz: $target FAILED (log: $build/$target.log)"
done
[ ${#failed[@]} -eq 0 ] || exit 1

for target in "${targets[@]}"; do
    log="$build/$target.log"
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 || true)
    printf '%-24s %10s execs  %s\n' "$target" "${execs:-?}" "$cov"
done
