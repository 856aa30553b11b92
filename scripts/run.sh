#!/usr/bin/env bash
# Builds the trainer, its updater and the verb-list checker (not the tests
# and benchmarks) and starts the trainer from its program folder.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$(nproc)" --target VerbodromEN verbodrom-updater verbodrom-check
exec build/bin/VerbodromEN
