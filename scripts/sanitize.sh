#!/usr/bin/env bash
# Builds the core, the virtual reader and their tests with AddressSanitizer and
# UndefinedBehaviorSanitizer in their own build directory and runs the tests.
# The first report of either ends the test that made it, and fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${ASAN_BUILD_DIR:-build-asan}
# -O1 with line tables: what the sanitizers' own documentation advises, and
# half the compile time of -O2 -g. Each target's sources compiled as one
# (a unity build): the instrumented headers (the test framework's, JSON's)
# are then compiled once per target instead of once per file.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" \
    -DZUVI_BUILD_UI=OFF -DZUVI_SANITIZE=address,undefined -DCMAKE_UNITY_BUILD=ON >/dev/null
cmake --build "$build"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# The soak's short profile, shorter still: the instrumented build is slower,
# and what it adds here is memory checking of the fault paths.
ZUVI_SOAK_SECONDS=${ZUVI_SOAK_SECONDS:-10} ctest --test-dir "$build" --output-on-failure -j2
