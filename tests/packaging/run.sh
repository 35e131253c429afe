#!/usr/bin/env bash
# Tests of the release artefacts: the MSI (built, inspected with msiinfo, installed, upgraded and
# removed by Wine's msiexec in a throwaway prefix), Authenticode signing with a throwaway
# certificate, and the release folder. Uses the release exes of build/windows-x86.
# Usage: tests/packaging/run.sh
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"

exec "$root/tests/e2e/with-wine-work.sh" packaging /usr/bin/python3 "$here/packaging_tests.py" \
    --exes "$root/build/windows-x86"
