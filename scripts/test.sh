#!/usr/bin/env bash
# Builds Kijunchi and runs every test: a normal build with warnings as errors, then the same
# tests under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-packages.sh"
jobs=$(nproc)

cmake -S "$root" -B "$root/build-ci" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIJUNCHI_WERROR=ON \
      -DKIJUNCHI_BENCH=ON >/dev/null
cmake --build "$root/build-ci" -j"$jobs"
ctest --test-dir "$root/build-ci" --output-on-failure -j"$jobs"

cmake -S "$root" -B "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DKIJUNCHI_WERROR=ON \
      -DKIJUNCHI_SANITIZE=ON >/dev/null
cmake --build "$root/build-asan" -j"$jobs"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir "$root/build-asan" --output-on-failure -j"$jobs"
echo "All tests passed."
