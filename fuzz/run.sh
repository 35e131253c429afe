#!/usr/bin/env bash
# Builds the libFuzzer target (preset "fuzz", clang 14, in build/fuzz) and runs it for a bounded
# time from the checked-in seed corpus, writing new inputs to a temporary work corpus so the
# checked-in one stays as fuzz/make_seeds.py writes it. Exits non-zero when the build fails, the
# checked-in corpus differs from the seeds the script writes, or the fuzzer finds an input that
# crashes the tool, trips a sanitizer or breaks one of the target's checks; such an input is kept
# in build/fuzz/artifacts.
#
# Usage: fuzz/run.sh [SECONDS]   (default 60, or $BRENTHAUL_FUZZ_SECONDS)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-${BRENTHAUL_FUZZ_SECONDS:-60}}"

scripts/install-deps.sh build hardening
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" >/dev/null

work="$(mktemp -d /tmp/brenthaul-fuzz.XXXXXX)"
trap 'rm -rf "$work"' EXIT

/usr/bin/python3 fuzz/make_seeds.py "$work/seeds" >/dev/null
if ! diff -r "$work/seeds" fuzz/corpus >/dev/null; then
    echo "fuzz: fuzz/corpus differs from what fuzz/make_seeds.py writes; run fuzz/make_seeds.py" >&2
    exit 1
fi

mkdir -p "$work/corpus" build/fuzz/artifacts
echo "fuzz: running build/fuzz/fuzz/brenthaul_fuzz for ${seconds}s"
status=0
build/fuzz/fuzz/brenthaul_fuzz "$work/corpus" fuzz/corpus \
    -dict=fuzz/brenthaul.dict -max_total_time="$seconds" -max_len=1024 -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix=build/fuzz/artifacts/ \
    >"$work/log" 2>&1 || status=$?
grep -E '^(stat::number_of_executed_units|stat::new_units_added|stat::peak_rss_mb)|DONE|ERROR|promise broken|runtime error|SUMMARY' \
    "$work/log" || true
if [ "$status" -ne 0 ]; then
    tail -n 60 "$work/log" >&2
    echo "fuzz: FAILED (status $status); the input is in build/fuzz/artifacts" >&2
    exit 1
fi
echo "fuzz: passed"
