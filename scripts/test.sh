#!/usr/bin/env bash
# Every test of the project, from a fresh Debian 12 machine: installs what is missing, builds all
# presets, then runs each suite. Ends with one line "N passed, N failed" counting the suites.
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh build windows pe e2e hardening bench package || exit 1
scripts/build.sh || exit 1

passed=0
failed=0
failures=()
suite() {
    local name="$1"
    shift
    echo "=== $name"
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        failures+=("$name")
    fi
}

suite "unit tests (native, fake platform)" ctest --preset native --output-on-failure
suite "executables (PE inspection)" /usr/bin/python3 tests/pe/check_exes.py \
    build/windows-x86/Brenthaul.exe build/windows-x64/Brenthaul.exe \
    build/windows-x86/rm.exe build/windows-x64/rm.exe
suite "end to end (Wine), release exe (32-bit) and 64-bit exe, and the release rm.exe" \
    tests/e2e/run.sh --rm build/windows-x86/rm.exe \
    build/windows-x86/Brenthaul.exe build/windows-x64/Brenthaul.exe
suite "reproducible builds (two builds, same bytes)" tests/reproducible/run.sh
suite "release artefacts (MSI under Wine, signing, dist)" tests/packaging/run.sh
suite "unit tests (AddressSanitizer, UndefinedBehaviorSanitizer)" scripts/sanitize.sh
suite "fuzzing (libFuzzer, bounded)" fuzz/run.sh
suite "static analysis (clang-tidy, cppcheck, clang-format)" scripts/static-analysis.sh
# The benchmark asserts no timing: this only shows that it still builds and runs.
suite "benchmark still runs (bench/run.sh --quick)" bench/run.sh --quick

echo
[ ${#failures[@]} -eq 0 ] || printf 'failed suite: %s\n' "${failures[@]}"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
