#!/usr/bin/env bash
# Installs what building and testing Verbodrom(EN) needs on Debian 12.
# Does nothing when everything is there already.
set -euo pipefail

# clang and libclang-rt-14-dev (libFuzzer and clang's sanitizer runtimes)
# build the fuzz targets under fuzz/; desktop-file-utils and appstream
# validate the launcher and the metainfo; minisign signs test releases;
# nginx-light serves a release to the update tests; qt6-charts-dev builds the
# Lernstand benchmark's baseline (the program itself draws its charts).
packages=(g++ cmake ninja-build qt6-base-dev qt6-charts-dev libgl-dev fonts-dejavu-core curl
          xvfb xauth desktop-file-utils appstream dpkg-dev file pkg-config libsodium-dev minisign
          nginx-light clang libclang-rt-14-dev)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
