#!/usr/bin/env bash
# Reproducible builds: two builds of the same sources, in two different folders, at two different
# times, must give byte-identical exes. Copies this tree (without build/ and .git) into two
# temporary folders whose paths differ in name and length, builds the Windows presets in each, a
# few seconds apart and under different time zones and locales, and compares the SHA-256 of every
# exe the builds leave in build/<preset>/. Prints the checksums; exits non-zero on any difference.
# Usage: tests/reproducible/run.sh [PRESET...]   (default: windows-x86 windows-x64)
set -euo pipefail
cd "$(dirname "$0")/../.."

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(windows-x86 windows-x64)

work="$(mktemp -d "${TMPDIR:-/tmp}/brenthaul-repro.XXXXXX")"
trap 'rm -rf "$work"' EXIT
first="$work/a"
second="$work/second build, in a longer folder"
for tree in "$first" "$second"; do
    mkdir -p "$tree"
    tar -c --exclude=./build --exclude=./.git --exclude=./dist . | tar -x -C "$tree"
done

build() {
    local tree="$1" preset="$2"
    (cd "$tree" && cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" >/dev/null)
}
for preset in "${presets[@]}"; do
    TZ=UTC LC_ALL=C build "$first" "$preset"
done
sleep 2 # the PE header's time stamp counts seconds: the second build is in another second
for preset in "${presets[@]}"; do
    TZ=Asia/Tokyo LC_ALL=C.UTF-8 build "$second" "$preset"
done

failed=0
for preset in "${presets[@]}"; do
    mapfile -t exes < <(cd "$first/build/$preset" && ls -- *.exe)
    if [ ${#exes[@]} -eq 0 ]; then
        echo "FAIL  $preset: the build left no exe" >&2
        failed=1
    fi
    for exe in "${exes[@]}"; do
        a="$(sha256sum <"$first/build/$preset/$exe" | cut -d' ' -f1)"
        b="$(sha256sum <"$second/build/$preset/$exe" 2>/dev/null | cut -d' ' -f1)"
        if [ "$a" = "$b" ]; then
            echo "PASS  build/$preset/$exe: both builds give SHA-256 $a"
        else
            echo "FAIL  build/$preset/$exe: SHA-256 $a in one build, ${b:-no file} in the other" >&2
            cmp -l "$first/build/$preset/$exe" "$second/build/$preset/$exe" 2>&1 | head -n 5 >&2
            failed=1
        fi
    done
done
exit "$failed"
