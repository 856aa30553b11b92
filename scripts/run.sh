#!/usr/bin/env bash
# Builds Verbodrom(EN) and starts the trainer from its program folder.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$(nproc)"
exec build/bin/VerbodromEN
