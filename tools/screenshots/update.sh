#!/usr/bin/env bash
# Redraws the README pictures under docs/ from the current interface:
#   tools/screenshots/update.sh [build-folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
[ -f "$build/CMakeCache.txt" ] ||
    cmake -S "$root" -B "$build" -G Ninja -DZARVO_BUILD_TESTS=OFF -DZARVO_BUILD_BENCH=OFF
cmake --build "$build" --target docs-screenshots
