#!/usr/bin/env bash
# Prints the project's version, as project(VERSION ...) in CMakeLists.txt gives it: the one place
# that holds it.
set -euo pipefail
sed -n 's/^project(Brenthaul VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../CMakeLists.txt"
