#!/usr/bin/env bash
# Builds the project and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

build=${BUILD_DIR:-build}
# The prefix is the package's, so the package check below takes this build.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j2

# --- Reading thread under ThreadSanitizer ---------------------------------
# The reading thread shares state with the window thread; a second, core-only
# build runs its tests with the race detector. A race report fails the run.
tsan=${TSAN_BUILD_DIR:-build-tsan}
cmake -S . -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZUVI_BUILD_UI=OFF \
    -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_UNITY_BUILD=ON >/dev/null
cmake --build "$tsan" --target reader_tests reader_virtual_tests
ctest --test-dir "$tsan" --output-on-failure -j2 -R '^(ReadThreadTest|ThreadRun|TtyPorts)'
# --- end of ThreadSanitizer block ------------------------------------------

# --- AddressSanitizer + UndefinedBehaviorSanitizer --------------------------
# The core, the virtual reader and their tests (the soak's short profile
# included) in build-asan; any report fails the run.
scripts/sanitize.sh
# --- end of AddressSanitizer block -----------------------------------------

# --- Fuzzing, short runs ----------------------------------------------------
# Each libFuzzer target of fuzz/ for FUZZ_SECONDS (default 10) from its seed
# corpus, built with clang in build-fuzz; a crash or a broken property fails.
scripts/fuzz.sh
# --- end of fuzzing block ---------------------------------------------------

# --- The Debian package -----------------------------------------------------
# The .deb made from the build above as the install notes describe, checked
# by lintian: any error or warning fails the run.
scripts/package-check.sh "$build"
# --- end of package block ---------------------------------------------------

# --- The core on Windows, under Wine ----------------------------------------
# Cross-built with MinGW-w64 in build-win32 (and build-win64 where 32-bit
# programs cannot run); the Win32 layer's tests run under Wine.
scripts/wine-test.sh
# --- end of Wine block ------------------------------------------------------
