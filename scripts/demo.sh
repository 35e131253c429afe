#!/usr/bin/env bash
# Shows Brenthaul.exe at work under Wine: saves one App-V package's local data to the roaming
# profile, loses the local copy, and restores it. Everything happens in a throwaway Wine profile
# that is removed at the end.
# Usage: scripts/demo.sh [path/to/Brenthaul.exe]   (default: build/windows-x86/Brenthaul.exe, the
#        release exe)
set -euo pipefail
cd "$(dirname "$0")/.."

exe="$(realpath "${1:-build/windows-x86/Brenthaul.exe}")"
package=6f2b8a2e-3d41-4c5e-9a7b-0c1d2e3f4a5b
user="demo user"

step() { printf '\n=== %s\n' "$*"; }
show_tree() { (cd "$1" && find . -mindepth 1 | LC_ALL=C sort | sed 's/^\.\//    /'); }

work="$(mktemp -d "${TMPDIR:-/tmp}/brenthaul-demo.XXXXXX")"
export WINEPREFIX="$work/prefix"
cleanup() {
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

step "Brenthaul demo: $exe under Wine, as Windows user '$user'"
cat <<EOF
Brenthaul copies nothing itself: it runs 'robocopy' (and 'rm -r' for a clean save or restore)
through the Windows command interpreter. Wine's own robocopy is only a stub and Wine has no rm,
so this demo puts two STAND-INS first on Wine's search path: small robocopy.exe and rm.exe
programs built from tests/e2e/standins. They really mirror and remove folders, and they also
write down each command line they receive, so you can see what Brenthaul ran.
EOF
tests/e2e/build-standins.sh "$work/standins"

step "Making a throwaway Wine profile (takes about 10 seconds)"
mkdir -p "$WINEPREFIX"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=C.UTF-8 LC_ALL=C.UTF-8
export WINEPATH="Z:${work//\//\\}\\standins"
export BRENTHAUL_E2E_LOG="Z:${work//\//\\}\\commands.log"
export USER="$user" # under Wine, the Windows user name is the Unix variable USER
unset DISPLAY
wineserver -p
wine cmd /c exit >/dev/null 2>&1
vfs="$WINEPREFIX/drive_c/users/$user/AppData/Local/Microsoft/AppV/Client/VFS"
saved="$WINEPREFIX/drive_c/users/$user/AppData/Roaming/Microsoft/AppV/Client/VFS/SavedFromLocal"
echo "Done. C:\\ of this profile is $WINEPREFIX/drive_c"

step "Sample data that package $package wrote into the local profile"
local_copy="$vfs/$package"
mkdir -p "$local_copy/AppData/Vendor App/cache" "$local_copy/Program Files/Vendor App"
printf '[Window]\r\nMaximised=1\r\n' >"$local_copy/AppData/Vendor App/settings.ini"
printf 'recent1.txt\r\nrecent2.txt\r\n' >"$local_copy/AppData/Vendor App/recent files.txt"
head -c 200000 /dev/urandom >"$local_copy/Program Files/Vendor App/database.bin"
echo "C:\\Users\\$user\\AppData\\Local\\Microsoft\\AppV\\Client\\VFS\\$package holds:"
show_tree "$local_copy"
cp -a "$local_copy" "$work/original" # kept aside to compare with at the end

run() {
    : >"$work/commands.log"
    echo "\$ wine Brenthaul.exe $*"
    set +e
    wine "$exe" "$@"
    local status=$?
    set -e
    echo "exit status: $status"
    echo "commands Brenthaul ran (one argument a line, as recorded by the stand-ins):"
    sed -e 's/^@\(.*\) \([0-9]*\)$/  \1, with \2 arguments counting its own name:/' \
        -e '/^  /!s/^/      /' "$work/commands.log"
}

step "Save: copy the package's local data to the roaming profile"
run /save "$package"
echo "The saved copy, C:\\Users\\$user\\AppData\\Roaming\\Microsoft\\AppV\\Client\\VFS\\SavedFromLocal\\$package:"
show_tree "$saved/$package"

step "The local copy is lost (as on a new machine, or after a profile reset)"
rm -rf "$local_copy"
ls -d "$local_copy" 2>/dev/null || echo "The local package folder no longer exists."

step "Restore: copy the saved data back into the local profile"
run /restore "$package"
echo "The local package folder again:"
show_tree "$local_copy"

step "Is the data back, byte for byte?"
echo "\$ diff -r original-local-copy restored-local-copy"
if diff -r "$work/original" "$local_copy"; then
    echo "No difference: the restored data is exactly what the package had written."
else
    echo "The restored data differs from the original." >&2
    exit 1
fi
