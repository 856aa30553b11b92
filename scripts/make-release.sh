#!/usr/bin/env bash
# Makes the release folder that an update server serves, from a build:
#
#   scripts/make-release.sh [--key SECRET_KEY_FILE] [--version X.Y.Z] BUILD_DIR OUT_DIR
#
# writes OUT_DIR/Updates/Verbodrom(EN)/ with
#   Version.txt   the build's version (CMAKE_PROJECT_VERSION in BUILD_DIR/CMakeCache.txt)
#   Updater.exe   BUILD_DIR/bin/verbodrom-updater
#   New.exe       BUILD_DIR/bin/VerbodromEN
# and, with --key, Updater.exe.minisig and New.exe.minisig, signed with that
# minisign secret key (it asks for the key's password, if it has one) and the
# trusted comment "version: X.Y.Z file: NAME". Files of an earlier release in
# that folder are replaced.
#
# --version publishes another version text than the build's. It is meant for
# trials: a "newer" release from the same build. The program inside still
# has the build's version, so after updating it is offered the same release
# again at every start.
set -euo pipefail

usage() {
    echo "usage: $0 [--key SECRET_KEY_FILE] [--version X.Y.Z] BUILD_DIR OUT_DIR" >&2
    exit 2
}
fail() {
    echo "make-release: $*" >&2
    exit 1
}

key=""
version=""
while [ $# -gt 0 ]; do
    case "$1" in
        --key) [ $# -ge 2 ] || usage; key=$2; shift 2 ;;
        --version) [ $# -ge 2 ] || usage; version=$2; shift 2 ;;
        --) shift; break ;;
        -*) usage ;;
        *) break ;;
    esac
done
[ $# -eq 2 ] || usage
build=$1
out=$2

program=$build/bin/VerbodromEN
updater=$build/bin/verbodrom-updater
for file in "$program" "$updater"; do
    [ -f "$file" ] && [ -x "$file" ] || fail "$file is missing: build the project in $build first"
done
built=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
[ -n "$version$built" ] || fail "no version in $build/CMakeCache.txt: give --version"
[[ ${version:-$built} =~ ^[0-9]{1,9}\.[0-9]{1,9}\.[0-9]{1,9}$ ]] \
    || fail "\"${version:-$built}\" is no version X.Y.Z"
if [ -n "$version" ] && [ "$version" != "$built" ]; then
    echo "make-release: publishing $version from a build of version ${built:-unknown}" >&2
fi
version=${version:-$built}
if [ -n "$key" ]; then
    [ -r "$key" ] || fail "cannot read the secret key $key"
    command -v minisign >/dev/null || fail "minisign is not installed"
fi

folder="$out/Updates/Verbodrom(EN)"
mkdir -p "$folder"
# Each file goes in whole: copied beside its name, then renamed.
put() {
    cp "$1" "$folder/.$2.new"
    chmod 0644 "$folder/.$2.new"
    mv -f "$folder/.$2.new" "$folder/$2"
}
put "$updater" Updater.exe
put "$program" New.exe
printf '%s' "$version" > "$folder/.Version.txt.new"
mv -f "$folder/.Version.txt.new" "$folder/Version.txt"
rm -f "$folder/Updater.exe.minisig" "$folder/New.exe.minisig"
if [ -n "$key" ]; then
    for name in Updater.exe New.exe; do
        minisign -S -s "$key" -m "$folder/$name" -x "$folder/$name.minisig" \
                 -t "version: $version file: $name" >/dev/null
    done
fi
echo "make-release: release $version in $folder"
