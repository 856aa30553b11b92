#!/usr/bin/env bash
# Builds Verbodrom(EN) twice, normally and with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs the whole test suite on each build.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

for variant in normal sanitize; do
    dir=build-test-$variant
    sanitize=OFF
    [ "$variant" = sanitize ] && sanitize=ON
    echo "== $variant build =="
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVERBODROM_SANITIZE=$sanitize
    cmake --build "$dir" -j "$jobs"
    ctest --test-dir "$dir" --output-on-failure --timeout 300 -j "$jobs"
done
