#!/usr/bin/env bash
# Makes the release folder from the built release exes (preset windows-x86):
#   Brenthaul.exe, rm.exe, Brenthaul-<version>.msi and SHA256SUMS (as sha256sum -c reads it).
# When a signing certificate is configured (see scripts/sign.sh), the exes are signed before they
# go into the package, then the package is signed, and only then are the checksums written.
# Without one, everything is unsigned, and every build of one commit gives the same bytes.
# Usage: packaging/dist.sh [FOLDER]   (default: dist)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
dist="${1:-$root/dist}"
build="$root/build/windows-x86"
version="$("$here/version.sh")"
msi="Brenthaul-$version.msi"

for exe in Brenthaul.exe rm.exe; do
    if [ ! -f "$build/$exe" ]; then
        echo "dist: $build/$exe does not exist; build the windows-x86 preset first" >&2
        exit 1
    fi
done
rm -rf "$dist"
mkdir -p "$dist"
cp "$build/Brenthaul.exe" "$build/rm.exe" "$dist/"
if "$root/scripts/sign.sh" --configured; then
    "$root/scripts/sign.sh" "$dist/Brenthaul.exe" "$dist/rm.exe"
fi
"$here/build-msi.sh" "$dist" "$dist/$msi"
if "$root/scripts/sign.sh" --configured; then
    "$root/scripts/sign.sh" "$dist/$msi"
fi
(cd "$dist" && sha256sum Brenthaul.exe rm.exe "$msi" >SHA256SUMS)
