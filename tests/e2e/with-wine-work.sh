#!/usr/bin/env bash
# Runs a Wine test driver with what every Wine suite of this project needs: the robocopy and rm
# stand-ins, built into build/NAME/standins; a fresh temporary work folder, in which the driver
# makes its Wine prefix (WORK/prefix); and at the end, however the driver ended, that prefix's
# wineserver stopped (with every Windows process it still holds) and the folder removed.
# Usage: tests/e2e/with-wine-work.sh NAME DRIVER [ARGUMENT...]
#   The driver gets "--standins DIR --work DIR" after its own arguments; its status is returned.
set -euo pipefail
name="$1"
shift
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"

standins="$root/build/$name/standins"
"$here/build-standins.sh" "$standins"

work="$(mktemp -d "${TMPDIR:-/tmp}/brenthaul-$name.XXXXXX")"
cleanup() {
    WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

status=0
"$@" --standins "$standins" --work "$work" || status=$?
exit "$status"
