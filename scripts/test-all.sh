#!/usr/bin/env bash
# Builds and runs every test twice: a plain g++ build, then a clang build with
# AddressSanitizer and UndefinedBehaviorSanitizer that also carries the
# bounded fuzz runs. The last line is CTest's summary of the sanitized run.
set -euo pipefail
cd "$(dirname "$0")/.."

# Works first on a fresh machine: what is missing comes from the one list.
bash scripts/install-packages.sh --only-missing

jobs="${JOBS:-$(nproc)}"
# Widgets are tested without a display.
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan-system-libraries.supp:print_suppressions=0"

echo "== plain build (g++)"
cmake -S . -B build/plain -G Ninja -DTARVIK_BENCH=ON
cmake --build build/plain -j "$jobs"
ctest --test-dir build/plain --output-on-failure -j "$jobs" --timeout 600

echo "== sanitized build (clang, ASan + UBSan, fuzz targets)"
CC=clang CXX=clang++ cmake -S . -B build/asan -G Ninja -DTARVIK_SANITIZE=ON -DTARVIK_FUZZ=ON
cmake --build build/asan -j "$jobs"
ctest --test-dir build/asan --output-on-failure -j "$jobs" --timeout 900
