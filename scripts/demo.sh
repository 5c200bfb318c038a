#!/usr/bin/env bash
# Installs what is needed, builds, and runs Korvex's main job on the bundled
# examples, printing where the output and the log are.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build
korvex=build/bin/korvex
"$korvex" --version
"$korvex" log check
