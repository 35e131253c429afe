#!/usr/bin/env bash
# Builds the stand-ins for robocopy and rm (Windows x86_64, mingw) into the folder given.
# Wine has only a stub robocopy and no rm; tests/e2e/run.sh and scripts/demo.sh put these
# first on Wine's search path instead.
set -euo pipefail
out="$1"
here="$(cd "$(dirname "$0")" && pwd)"
mkdir -p "$out"
for tool in robocopy rm; do
    x86_64-w64-mingw32-gcc -std=c11 -Wall -Wextra -Werror -O2 -municode -static -s \
        -o "$out/$tool.exe" "$here/standins/$tool.c"
done
