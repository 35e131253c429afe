#!/usr/bin/env bash
# Installs, with apt-get, whatever a step of the build or the tests needs and this machine lacks.
# Usage: scripts/install-deps.sh GROUP...   (groups: build windows pe e2e hardening bench package)
set -euo pipefail

packages=()
for group in "$@"; do
    case "$group" in
        build) packages+=(g++ cmake make libgtest-dev libgmock-dev) ;;
        windows) packages+=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686
                            binutils-mingw-w64-x86-64) ;;
        pe) packages+=(python3 python3-pefile) ;;
        # Wine's fonts and X extensions are only recommended, and recommends are not installed:
        # without them the message boxes of the debug tests draw no readable text.
        # wine32:i386 runs the 32-bit release exe; wine64 the 64-bit one.
        e2e) packages+=(wine wine64 wine32:i386 fonts-wine libxrender1 libxrandr2 libxi6 libxcursor1
                        libxinerama1 libxcomposite1 libxfixes3 xvfb xdotool imagemagick
                        python3) ;;
        hardening) packages+=(clang-14 libclang-rt-14-dev clang-tidy-14 cppcheck clang-format-14
                              python3) ;;
        bench) packages+=(valgrind python3) ;;
        # The MSI (wixl, msibuild, msiinfo; faketime stops the clock they read), signing.
        package) packages+=(wixl msitools faketime osslsigncode openssl git python3) ;;
        *) echo "install-deps: unknown group '$group'" >&2; exit 2 ;;
    esac
done

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing packages (run as root to install): ${missing[*]}" >&2
    exit 1
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# Packages for 32-bit x86 (name:i386) need that architecture known to dpkg before the update.
if printf '%s\n' "${missing[@]}" | grep -q ':i386$' &&
    ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
