#!/usr/bin/env bash
# The main job, from a fresh Debian 12 machine: installs what is missing, builds Brenthaul.exe and
# its removal command rm.exe for 32-bit Windows (the release) and 64-bit Windows (runs under Wine),
# shows them at work, and ends with the release folder dist/: the release exes, the MSI and their
# checksums, signed when a certificate is configured (see scripts/sign.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh build windows
scripts/build.sh windows-x86 windows-x64

for preset in windows-x86 windows-x64; do
    for exe in "build/$preset/Brenthaul.exe" "build/$preset/rm.exe"; do
        printf '%-34s %7d bytes\n' "$exe" "$(stat -c %s "$exe")"
    done
done
# The release exe must need nothing but Windows' own DLLs.
printf 'build/windows-x86/Brenthaul.exe imports: %s\n' "$(i686-w64-mingw32-objdump -p \
    build/windows-x86/Brenthaul.exe | sed -n 's/^[[:space:]]*DLL Name: //p' | paste -sd ' ')"
# Every build of this commit gives these bytes (tests/reproducible/run.sh checks it).
printf 'build/windows-x86/Brenthaul.exe SHA-256: %s\n' \
    "$(sha256sum <build/windows-x86/Brenthaul.exe | cut -d' ' -f1)"

# A demonstration under Wine, with the release exe: save a sample package's data, lose it,
# restore it.
scripts/install-deps.sh e2e
scripts/demo.sh build/windows-x86/Brenthaul.exe

# The release folder.
scripts/install-deps.sh package
packaging/dist.sh dist
echo
if scripts/sign.sh --configured; then
    echo "dist/ (signed with the configured certificate):"
else
    echo "dist/ (unsigned; set BRENTHAUL_SIGN_PKCS12 or BRENTHAUL_SIGN_CERT to sign):"
fi
for file in dist/*; do
    printf '  %-28s %7d bytes\n' "$file" "$(stat -c %s "$file")"
done
echo "dist/SHA256SUMS (check with: cd dist && sha256sum -c SHA256SUMS):"
sed 's/^/  /' dist/SHA256SUMS
