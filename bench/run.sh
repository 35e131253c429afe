#!/usr/bin/env bash
# The tool's own cost, printed in one run (a benchmark: it asserts no timing; it fails only when
# something cannot be built or run):
#   1. its overhead under Wine: `wine Brenthaul.exe /save <id>` (x64) against
#      `wine C:\windows\system32\cmd.exe /c` with the same robocopy command line, a stand-in
#      robocopy (bench/robocopy.c) returning 0 at once, the wineserver kept warm, the runs
#      interleaved; the ratio of the medians (bench/wine_overhead.py says why this pair);
#   2. the instructions its logic spends on a single-package save, a clean single-package save
#      and an all-package save: native build (-Os, as the release), a driver with an instant
#      platform (bench/instructions.cpp), valgrind's callgrind counting only inside RunBrenthaul;
#   3. the sizes of both exes and the DLLs they import.
# Everything it builds goes to build/bench; the exes come from the shared Windows presets.
#
# Usage: bench/run.sh [--quick] [RUNS]   (RUNS per side for 1, default 21; --quick: 3 runs, a
#        smoke check that the bench still works)
set -euo pipefail
cd "$(dirname "$0")/.."

runs=21
if [ "${1:-}" = "--quick" ]; then
    runs=3
    shift
fi
runs="${1:-$runs}"

scripts/install-deps.sh build windows e2e bench >/dev/null
flock /tmp/brenthaul-build.lock scripts/build.sh windows-x86 windows-x64
out=build/bench
mkdir -p "$out/stub"
x86_64-w64-mingw32-gcc -O2 -s bench/robocopy.c -o "$out/stub/robocopy.exe"
g++ -std=c++17 -Os -g -I. -Wall -Wextra -Werror cli/brenthaul.cpp common/bounded_format.cpp \
    profile/profile.cpp transfer/transfer.cpp bench/instructions.cpp -o "$out/instructions"

echo "Brenthaul benchmark, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'),"\
     "$(wine --version 2>/dev/null), valgrind $(valgrind --version | sed 's/^valgrind-//')"

echo
echo "1. Overhead under Wine (x64 exe, $runs runs each, interleaved)"
/usr/bin/python3 bench/wine_overhead.py build/windows-x64/Brenthaul.exe "$out/stub" "$runs"

echo
echo "2. Instructions inside RunBrenthaul (callgrind, native g++ -Os, user1 on C:)"
for form in save cleansave saveall; do
    counts=()
    for attempt in 1 2; do  # twice, to show the count repeats
        valgrind --tool=callgrind --toggle-collect='RunBrenthaul*' \
            --callgrind-out-file="$out/callgrind.$form" "$out/instructions" "$form" \
            >/dev/null 2>&1
        counts+=("$(sed -n 's/^totals: *//p' "$out/callgrind.$form")")
    done
    printf '  /%-10s %7s instructions (again: %s)\n' "$form" "${counts[0]}" "${counts[1]}"
done

echo
echo "3. Sizes"
for arch in x86 x64; do
    exe="build/windows-$arch/Brenthaul.exe"
    [ "$arch" = x86 ] && objdump=i686-w64-mingw32-objdump || objdump=x86_64-w64-mingw32-objdump
    dlls="$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | paste -sd ' ')"
    size="$(stat -c %s "$exe")"
    awk -v exe="$exe" -v size="$size" -v dlls="$dlls" \
        'BEGIN { printf "  %-32s %6d bytes (%5.1f KiB)   imports: %s\n", exe, size, size / 1024, dlls }'
done
