#!/usr/bin/env bash
# Builds and runs every test: first a Release build with g++, then a build
# with clang, AddressSanitizer and UBSan that also runs the fuzz targets for a
# bounded time, last the graph tests under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-packages.sh

jobs=$(nproc)

# Tests that draw need an X display; without one they run under Xvfb, kept up
# between test programs (-noreset: it would restart whenever its last client
# left, and a test connecting then would find no display).
with_display() {
  if [[ -n "${DISPLAY:-}" ]]; then "$@"; else xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$@"; fi
}

echo "== Release build and tests"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release -j "$jobs"
with_display ctest --test-dir build/release --output-on-failure -j "$jobs"

echo "== AddressSanitizer + UBSan build, tests and fuzz targets"
cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DTAVRIN_SANITIZE=ON -DTAVRIN_FUZZ=ON -DTAVRIN_BENCH=OFF
cmake --build build/sanitize -j "$jobs"
# intercept_tls_get_addr=0: this LeakSanitizer (clang 14) guesses the bounds
# of the thread-local blocks of libraries loaded at run time (the OpenGL
# driver, GTK's modules) from glibc's older layout; with glibc 2.36 a block
# that happens to start 16 bytes past a page is read as a range near address 0,
# and its leak check at exit crashes ("Tracer caught signal 11 ... LeakSanitizer
# has encountered a fatal error"), now and then. Those blocks are not scanned
# then; the static thread-local storage, stacks and globals still are.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:intercept_tls_get_addr=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/sanitizer/lsan.supp:print_suppressions=0
with_display ctest --test-dir build/sanitize --output-on-failure -j "$jobs"

echo "== ThreadSanitizer build of the graph tests (generation, reading and writing on many threads)"
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTAVRIN_TSAN=ON -DTAVRIN_BENCH=OFF
cmake --build build/tsan -j "$jobs" --target graph_tests
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 build/tsan/tests/graph_tests
