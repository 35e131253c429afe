#!/usr/bin/env bash
# End-to-end tests: the real Brenthaul.exe run under Wine, through Wine's command interpreter,
# against real folders of a throwaway Wine profile. Each exe given gets the same tests, in the
# same prefix: the 32-bit release exe and the 64-bit one must both pass.
# Usage: tests/e2e/run.sh [--rm path/to/rm.exe] path/to/Brenthaul.exe...
# With --rm, rm.exe's own tests (tests/e2e/rm_tests.py) run once after them, in the same prefix,
# with the Brenthaul.exe that lies beside that rm.exe.
# Builds the stand-ins for robocopy and rm (Wine has only a stub robocopy and no rm), makes a
# fresh Wine prefix in a temporary folder, runs tests/e2e/e2e.py and removes the prefix again.
# Prints one PASS/FAIL line per test and a closing summary; exits non-zero on any failure.
set -euo pipefail

rm_exe=()
if [ "${1:-}" = "--rm" ] && [ $# -ge 2 ]; then
    rm_exe=(--rm "$(realpath "$2")")
    shift 2
fi
if [ $# -lt 1 ]; then
    echo "usage: $0 [--rm path/to/rm.exe] path/to/Brenthaul.exe..." >&2
    exit 2
fi
exes=()
for exe in "$@"; do
    exes+=(--exe "$(realpath "$exe")")
done
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
exec "$here/with-wine-work.sh" e2e /usr/bin/python3 "$here/e2e.py" "${exes[@]}" "${rm_exe[@]}" \
    --screenshots "$root/build/e2e-screenshots"
