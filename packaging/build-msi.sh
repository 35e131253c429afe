#!/usr/bin/env bash
# Builds the Windows Installer package of Brenthaul from two built exes, with wixl and msibuild.
# Usage: packaging/build-msi.sh [--version VERSION] EXE_FOLDER OUTPUT.msi
#   EXE_FOLDER holds Brenthaul.exe and rm.exe (the 32-bit release build, signed or not).
#   VERSION defaults to the project's, from project(VERSION ...) in CMakeLists.txt; the tests give
#   another one to build an older or newer package.
#
# The same inputs give the same bytes. Every code and time the package holds is fixed:
#   - ProductCode: derived from the version (a name-based UUID), the same for every build of one
#     version and new for each version;
#   - package code (the summary's revision number): derived from the version, the commit and the
#     SHA-256 of the two exes, so a package with other contents (signed exes, say) gets another;
#   - time stamps (the summary's creation and save times, the file times in the cabinet): the
#     commit's time, or SOURCE_DATE_EPOCH when it is set. wixl and msibuild take the time from
#     the clock, so they run under faketime with the clock stopped at that time.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"

version=""
if [ "${1:-}" = "--version" ]; then
    version="$2"
    shift 2
fi
if [ $# -ne 2 ]; then
    echo "usage: $0 [--version VERSION] EXE_FOLDER OUTPUT.msi" >&2
    exit 2
fi
exe_folder="$1"
output="$2"
if [ -z "$version" ]; then
    version="$("$here/version.sh")"
fi
if ! [[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]]; then
    echo "build-msi: '$version' is not a version of four numbers" >&2
    exit 2
fi
for exe in Brenthaul.exe rm.exe; do
    if [ ! -f "$exe_folder/$exe" ]; then
        echo "build-msi: $exe_folder/$exe does not exist; build the windows-x86 preset first" >&2
        exit 1
    fi
done

# The checkout is read even when another user owns it (a build machine's clone, say).
git=(git -c safe.directory="$root" -C "$root")
commit="$("${git[@]}" rev-parse HEAD 2>/dev/null || echo "no commit")"
epoch="${SOURCE_DATE_EPOCH:-$("${git[@]}" log -1 --format=%ct 2>/dev/null || true)}"
if [ -z "$epoch" ]; then
    echo "build-msi: outside a git checkout, set SOURCE_DATE_EPOCH to the time to give the package" >&2
    exit 1
fi
inputs="$(cat "$exe_folder/Brenthaul.exe" "$exe_folder/rm.exe" | sha256sum | cut -d' ' -f1)"
read -r product_code package_code < <(/usr/bin/python3 "$here/codes.py" "$version" "$commit" "$inputs")

work="$(mktemp -d "${TMPDIR:-/tmp}/brenthaul-msi.XXXXXX")"
trap 'rm -rf "$work"' EXIT
# The cabinet keeps each file's modification time: the exes are staged with the fixed one.
for exe in Brenthaul.exe rm.exe; do
    cp "$exe_folder/$exe" "$work/$exe"
    touch -d "@$epoch" "$work/$exe"
done

export TZ=UTC NO_FAKE_STAT=1
clock=(faketime -f "$(date -u -d "@$epoch" '+%Y-%m-%d %H:%M:%S')")
(cd "$work" && "${clock[@]}" wixl --arch x86 -D Version="$version" -D ProductCode="$product_code" \
    -o package.msi "$here/brenthaul.wxs")
# What wixl cannot write:
#   - the package code, set with the summary information (title, author, platform, code);
#   - the install folder at the end of the system PATH, so the command interpreter finds rm.exe
#     for the clean step while an rm already on the path comes first: the Environment row
#     "=-*PATH" = "[~];[INSTALLDIR]" (set on install, taken out on uninstall, system-wide,
#     appended), and the two standard actions that apply it;
#   - the event source's message file as REG_EXPAND_SZ (the "#%" prefix), the type the event
#     log reads it as.
"${clock[@]}" msibuild "$work/package.msi" \
    -s "Brenthaul $version" Brenthaul "Intel;1033" "{$package_code}"
"${clock[@]}" msibuild "$work/package.msi" -i "$here/environment.idt" \
    -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('RemoveEnvironmentStrings', 3300)" \
    -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('WriteEnvironmentStrings', 5200)" \
    -q "UPDATE Registry SET Value = '#%[#BrenthaulExe]' WHERE Name = 'EventMessageFile'"
mkdir -p "$(dirname "$output")"
mv "$work/package.msi" "$output"
