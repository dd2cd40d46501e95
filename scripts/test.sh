#!/usr/bin/env bash
# Checks the formatting, builds Kijunchi and runs every test: a normal build with warnings as
# errors, then the same tests under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-packages.sh"
jobs=$(nproc)

# The repository's own sources keep the style of .clang-format; a drifted file fails the run.
mapfile -t sources < <(cd "$root" && find src tests bench fuzz tools -path fuzz/corpus -prune -o \
                         -type f \( -name '*.cpp' -o -name '*.h' \) -print | sort)
(cd "$root" && clang-format --dry-run -Werror "${sources[@]}")

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

# The fuzz targets (clang, libFuzzer, ASan+UBSan): replay the seed corpus, then a short
# bounded run of each target.
CC=clang CXX=clang++ cmake -S "$root" -B "$root/build-fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DKIJUNCHI_FUZZ=ON -DKIJUNCHI_GUI=OFF -DKIJUNCHI_TESTS=ON >/dev/null
cmake --build "$root/build-fuzz" -j"$jobs" --target fuzz_lenient_number fuzz_paste_reader fuzz_pipeline \
      fuzz_data_file fuzz_study_command fuzz_indirect_extract fuzz_study_file fuzz_adopted_table
ctest --test-dir "$root/build-fuzz" --output-on-failure -L fuzz
echo "All tests passed."
