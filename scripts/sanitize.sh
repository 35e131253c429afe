#!/usr/bin/env bash
# Builds the native unit tests with AddressSanitizer and UndefinedBehaviorSanitizer (preset
# "native-sanitize", g++, in build/native-sanitize) and runs them with ctest. Undefined behaviour
# is not recovered from, and every sanitizer report ends the test with a failure, so a report
# fails this script.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh build
cmake --preset native-sanitize >/dev/null
cmake --build --preset native-sanitize -j "$(nproc)" >/dev/null

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --preset native-sanitize -j "$(nproc)" --output-on-failure
