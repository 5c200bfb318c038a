#!/usr/bin/env bash
# Configures and builds Korvex into build/ (or the folder given as $1).
# Extra arguments after the folder go to CMake, e.g. -DKORVEX_SANITIZE=ON.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build}"
shift || true
jobs="$(nproc 2>/dev/null || echo 2)"
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
ninja -C "$dir" -j "$jobs"
