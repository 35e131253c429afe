#!/usr/bin/env bash
# Tests of the release artefacts: the MSI (built, inspected with msiinfo, installed, upgraded and
# removed by Wine's msiexec in a throwaway prefix), Authenticode signing with a throwaway
# certificate, and the release folder. Uses the release exes of build/windows-x86.
# Usage: tests/packaging/run.sh
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"

standins="$root/build/packaging/standins"
"$root/tests/e2e/build-standins.sh" "$standins"

work="$(mktemp -d "${TMPDIR:-/tmp}/brenthaul-packaging.XXXXXX")"
cleanup() {
    WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

status=0
/usr/bin/python3 "$here/packaging_tests.py" --exes "$root/build/windows-x86" \
    --standins "$standins" --work "$work" || status=$?
exit "$status"
