#!/usr/bin/env bash
# Installs what building and testing Verbodrom(EN) needs on Debian 12.
# Does nothing when everything is there already.
set -euo pipefail

# clang and libclang-rt-14-dev (libFuzzer and clang's sanitizer runtimes)
# build the fuzz targets under fuzz/; desktop-file-utils and appstream
# validate the launcher and the metainfo; minisign signs test releases;
# nginx-light serves a release to the update tests. qt6-speech-dev and the
# flite plugin give the trainer its voice; Debian 12's qt6-speech-dev needs
# the QtQmlIntegration header of qt6-declarative-dev without depending on it;
# pulseaudio gives the speech tests a null sink to play into; qt6-charts-dev
# builds the Lernstand benchmark's baseline (the program draws its charts).
packages=(g++ cmake ninja-build qt6-base-dev libgl-dev fonts-dejavu-core curl xvfb xauth
          desktop-file-utils appstream dpkg-dev file pkg-config libsodium-dev minisign
          nginx-light clang libclang-rt-14-dev qt6-speech-dev qt6-declarative-dev
          qt6-speech-flite-plugin pulseaudio qt6-charts-dev)

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
