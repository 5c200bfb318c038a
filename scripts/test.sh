#!/usr/bin/env bash
# Installs what is needed, builds, and runs the whole test suite.
# --sanitize builds into build-asan with AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
dir=build
extra=()
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-asan
  extra=(-DKORVEX_SANITIZE=ON -DKORVEX_BENCH=OFF)
fi
bash scripts/build.sh "$dir" "${extra[@]}"
# Tests must never see the real home folder; each fixture makes its own, and
# this keeps stray writes of the runner itself out of it too.
export HOME="$(mktemp -d)"
trap 'rm -rf "$HOME"' EXIT
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"
ctest --test-dir "$dir" --output-on-failure -j "$(nproc 2>/dev/null || echo 2)"
