#!/usr/bin/env bash
# The test command. Builds Verbodrom(EN) twice from CMakePresets.json, a
# normal build and one with AddressSanitizer and UndefinedBehaviorSanitizer
# (both with warnings as errors), runs the whole test suite on each, then
# builds the fuzz targets with clang and runs each for 20 s (override with
# VERBODROM_FUZZ_SECONDS). Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."

stage="installing dependencies"
trap 'status=$?; [ $status -eq 0 ] || echo "test.sh: FAILED while $stage"' EXIT

scripts/install-deps.sh

jobs=$(nproc)
passed=0
for preset in normal sanitize; do
    stage="building the $preset preset"
    echo "== $preset build =="
    cmake --preset "$preset"
    cmake --build --preset "$preset" -j "$jobs"
    stage="testing the $preset preset"
    log=build-test-$preset/ctest-summary.log
    ctest --preset "$preset" -j "$jobs" | tee "$log"
    passed=$((passed + $(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$log")))
done

stage="fuzzing"
echo "== fuzz targets =="
mkdir -p build-fuzz
scripts/fuzz.sh "${VERBODROM_FUZZ_SECONDS:-20}" | tee build-fuzz/summary.log
targets=$(sed -n 's/^fuzz: all \([0-9]*\) targets clean$/\1/p' build-fuzz/summary.log)

echo "test.sh: both builds passed every test, and $targets fuzz targets ran clean"
echo "total: $((passed + targets)) passed, 0 failed"
