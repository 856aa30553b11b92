#!/usr/bin/env bash
# Builds the libFuzzer targets under fuzz/ with clang and runs each one for
# a while (default 20 s, or the first argument), starting from its committed
# seed corpus. Fails when any target finds something: a crash, a broken
# check, a sanitizer report, a leak, an input slower than 10 s, or 2 GiB of
# memory.
#
#   scripts/fuzz.sh [seconds per target]
#
# New inputs go to build-fuzz/corpus/<target>, findings to build-fuzz/findings/
# (rerun one with build-fuzz/bin/<target> <file>).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}
build=build-fuzz
scripts/install-deps.sh

cmake -S fuzz -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

mkdir -p "$build/findings" "$build/logs"
targets=0
found=()
for binary in "$build"/bin/*; do
    [ -x "$binary" ] || continue
    name=$(basename "$binary")
    seeds=fuzz/corpus/$name
    [ -d "$seeds" ] || { echo "fuzz: $name has no seed corpus in $seeds"; exit 1; }
    mkdir -p "$build/corpus/$name"
    log=$build/logs/$name.log
    if ! "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            -print_final_stats=1 -artifact_prefix="$build/findings/$name-" \
            "$build/corpus/$name" "$seeds" >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "fuzz: $name FOUND A FAULT (full log: $log; input: $build/findings/$name-*)"
        found+=("$name")
    else
        runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
        echo "fuzz: $name ran clean for ${seconds} s ($runs inputs)"
    fi
    targets=$((targets + 1))
done
[ "$targets" -gt 0 ] || { echo "fuzz: no targets built"; exit 1; }
if [ ${#found[@]} -gt 0 ]; then
    echo "fuzz: ${#found[@]} of $targets targets found faults: ${found[*]}"
    exit 1
fi
echo "fuzz: all $targets targets clean"
