#!/usr/bin/env bash
# Static analysis of the tool's own code, all of which must come out clean:
#   - clang-tidy 14 with the checked-in .clang-tidy: the logic from the compile_commands.json of
#     preset "static-analysis" (build/static-analysis), and the Windows-only files (cli/main.cpp,
#     platform/platform_win32.cpp, rm/main.cpp, rm/rm_platform_win32.cpp) as clang sees them for
#     x86_64-w64-mingw32 with mingw's headers;
#   - cppcheck with .cppcheck-suppressions: the logic for unix64, and the Windows-only files for
#     win32W and win64 with cppcheck's windows library;
#   - clang-format 14 with .clang-format over every C/C++ file in the repository;
#   - the Windows presets compile the tool's own code with warnings as errors.
# Prints each finding and exits non-zero when there is any.
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh build windows hardening || exit 1

logic_sources=(cli/brenthaul.cpp common/bounded_format.cpp profile/profile.cpp transfer/transfer.cpp
               rm/rm.cpp)
windows_sources=(cli/main.cpp platform/platform_win32.cpp rm/main.cpp rm/rm_platform_win32.cpp)
failed=()

cmake --preset static-analysis >/dev/null || exit 1

echo "static-analysis: clang-tidy"
# clang-tidy, without its count of the warnings it found in system headers and did not show.
tidy() {
    local output status
    output="$(clang-tidy-14 --quiet "$@" 2>&1)"
    status=$?
    grep -v -E '^[0-9]+ warnings? generated\.$' <<<"$output"
    return $status
}
export -f tidy
# One file per clang-tidy process: clang-tidy 14's analyzer, given several files in one run,
# stops recognising va_start after the first and reports a false "uninitialized va_list".
if ! printf '%s\n' "${logic_sources[@]}" |
    xargs -P "$(nproc)" -I{} bash -c 'tidy -p build/static-analysis "$1"' tidy {}; then
    failed+=("clang-tidy (logic)")
fi
# The warnings are those CMakeLists.txt gives the exe's own files.
for source in "${windows_sources[@]}"; do
    tidy "$source" -- --target=x86_64-w64-mingw32 -std=c++17 -I. -municode \
        -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion ||
        failed+=("clang-tidy ($source)")
done

echo "static-analysis: cppcheck"
cppcheck_options=(--quiet --inconclusive --std=c++17 --language=c++ -I. --error-exitcode=1
                  --suppressions-list=.cppcheck-suppressions)
cppcheck "${cppcheck_options[@]}" --enable=all --platform=unix64 "${logic_sources[@]}" \
    cli/main.cpp rm/main.cpp || failed+=("cppcheck (unix64)")
for platform in win32W win64; do
    # unusedFunction needs the whole program, which the unix64 run above sees.
    cppcheck "${cppcheck_options[@]}" --enable=warning,style,performance,portability \
        --platform="$platform" --library=windows -D_WIN32 -DUNICODE "${windows_sources[@]}" ||
        failed+=("cppcheck ($platform)")
done

echo "static-analysis: clang-format"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t formatted < <(git ls-files -- '*.c' '*.cc' '*.cpp' '*.h' '*.hpp')
else
    mapfile -t formatted < <(find . -path ./build -prune -o -type f \
        \( -name '*.c' -o -name '*.cc' -o -name '*.cpp' -o -name '*.h' -o -name '*.hpp' \) -print)
fi
clang-format-14 --dry-run --Werror "${formatted[@]}" || failed+=("clang-format")

echo "static-analysis: warnings as errors in the Windows builds"
for arch in i686 x86_64; do
    folder="build/static-analysis-$arch"
    cmake -S . -B "$folder" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null || { failed+=("configure $arch"); continue; }
    for target in brenthaul_logic Brenthaul rm/rm_logic rm/rm; do
        flags="$folder/$(dirname "$target")/CMakeFiles/$(basename "$target").dir/flags.make"
        if ! grep -q -- '-Werror' "$flags" 2>/dev/null; then
            echo "$flags: no -Werror for the tool's own code" >&2
            failed+=("warnings as errors ($arch $target)")
        fi
    done
done

if [ ${#failed[@]} -gt 0 ]; then
    printf 'static-analysis: FAILED: %s\n' "${failed[@]}" >&2
    exit 1
fi
echo "static-analysis: clean"
