#!/usr/bin/env bash
# Counts the lines of C++ (.cpp and .h files) by part: the program (src/ and
# tools/), its tests (tests/) and its fuzz targets (fuzz/), and the share of
# tests and fuzz targets in all of them. Prints a Markdown table.
#
#   scripts/linecount.sh
set -euo pipefail
cd "$(dirname "$0")/.."

lines() {
    find "$@" -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 cat | wc -l
}

program=$(lines src tools)
tests=$(lines tests)
fuzz=$(lines fuzz)
total=$((program + tests + fuzz))
share=$(( (100 * (tests + fuzz) + total / 2) / total ))

echo "| part | lines of C++ |"
echo "|---|---|"
echo "| program (src/, tools/) | $program |"
echo "| tests (tests/) | $tests |"
echo "| fuzz targets (fuzz/) | $fuzz |"
echo "| tests and fuzz targets together | $((tests + fuzz)), ${share} % of $total |"
