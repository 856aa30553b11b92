#!/usr/bin/env bash
# Builds the benchmarks (Release, in build-bench), runs every program under
# build-bench/bench/ and writes docs/PERFORMANCE.md: the machine, the date,
# one table row per program (what it measures, from the first sentence of
# its source's opening comment, and its closing "result: " line), and each
# program's full output. Runs under Xvfb where it is installed, so that the
# start-up benchmark shows real windows. Each program gets at most 10 minutes.
#
#   scripts/bench.sh [output file, default docs/PERFORMANCE.md]
set -euo pipefail
cd "$(dirname "$0")/.."

out=${1:-docs/PERFORMANCE.md}
build=build-bench
limit=600

scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)"

display=()
if command -v xvfb-run >/dev/null; then
    display=(xvfb-run -a -s "-screen 0 1280x1024x24")
    export QT_QPA_PLATFORM=xcb
else
    export QT_QPA_PLATFORM=offscreen
fi

# The first sentence of the comment that opens bench/<name>.cpp.
describe() {
    local source=bench/$1.cpp
    [ -f "$source" ] || { echo "(no source)"; return; }
    sed -n '/^\/\//!q; s|^// \{0,1\}||p' "$source" | tr '\n' ' ' \
        | sed 's/\([.:;]\) .*/\1/; s/[.:;]$//; s/  */ /g; s/ $//; s/|/\\|/g'
}

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
memory=$(awk '/^MemTotal:/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)
system="Debian $(cat /etc/debian_version 2>/dev/null || echo '?'), Linux $(uname -r)"
compiler=$(g++ --version | head -n 1)
qt=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || echo '?')
load=$(cut -d ' ' -f 1-3 /proc/loadavg)
busy=$(awk -v cores="$(nproc)" '{ print ($1 > cores) ? "yes" : "no" }' /proc/loadavg)

rows=""
details=""
failed=0
for binary in "$build"/bench/*; do
    [ -f "$binary" ] && [ -x "$binary" ] || continue
    name=$(basename "$binary")
    echo "== $name =="
    status=0
    output=$(timeout "$limit" "${display[@]}" "$binary" 2>&1) || status=$?
    echo "$output"
    result=$(printf '%s\n' "$output" | sed -n 's/^result: //p' | tail -n 1 | sed 's/|/\\|/g')
    if [ "$status" -ne 0 ]; then
        result="FAILED (exit $status)${result:+: $result}"
        failed=1
    fi
    what=$(describe "$name")
    rows+="| \`bench/$name\` | ${what:-(no opening comment)} | ${result:-(no result line)} |"$'\n'
    details+=$'\n'"### bench/$name"$'\n\n```\n'"$output"$'\n```\n'
done

{
    echo "# Performance"
    echo
    echo "Written by \`scripts/bench.sh\`; run it again rather than editing these figures."
    echo "Every figure is measured against its baseline in the same run, on this machine:"
    echo
    echo "- date: $(date -u '+%Y-%m-%d %H:%M UTC')"
    echo "- processor: ${cpu:-unknown}, $(nproc) cores available"
    echo "- memory: $memory"
    echo "- system: $system; $compiler; Qt $qt; Release build"
    echo "- load average at the start (1, 5, 15 min): $load"
    echo "- display: $([ ${#display[@]} -gt 0 ] && echo 'Xvfb' || echo 'offscreen')"
    echo
    if [ "$busy" = yes ]; then
        echo "The machine was busy with other work (load above its core count): the times"
        echo "scatter more than usual, and a ratio can even fall below 1. Rerun on an idle"
        echo "machine for figures to compare."
        echo
    fi
    echo "| program | what it measures | result |"
    echo "|---|---|---|"
    printf '%s' "$rows"
    echo
    echo "## Lines of C++"
    echo
    echo "Counted by \`scripts/linecount.sh\` in the same run:"
    echo
    scripts/linecount.sh
    echo
    echo "## Full output"
    printf '%s' "$details"
} >"$out"

echo "bench.sh: wrote $out"
exit "$failed"
