#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan and UBSan) into build-fuzz and runs
# each for SECONDS (default 60) on a copy of its seeds in fuzz/corpus/, so the
# repository's seeds stay as they are. Prints one line per target: runs,
# coverage reached, and clean or the crashing input kept in build-fuzz/findings.
#   bash scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
command -v clang++ >/dev/null || { echo "fuzz: clang++ is needed (scripts/install-deps.sh installs it)" >&2; exit 1; }
if [ ! -f build-fuzz/build.ninja ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DKORVEX_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in fuzz/*_fuzz.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
# Only the targets: the rest of the tree is not needed for fuzzing.
ninja -C build-fuzz "${targets[@]}" >/dev/null
mkdir -p build-fuzz/findings
status=0
for target in "${targets[@]}"; do
  seeds="fuzz/corpus/${target%_fuzz}"
  corpus="$(mktemp -d)"
  [ -d "$seeds" ] && cp -r "$seeds"/. "$corpus"/
  log="build-fuzz/findings/$target.log"
  if build-fuzz/bin/"$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=30 \
      -artifact_prefix="build-fuzz/findings/$target-" "$corpus" >"$log" 2>&1; then
    result="clean"
    # A target that runs a reader in a child process (.xls) sees the child's
    # faults contained; the fuzzer's crash handler in the child still leaves
    # its input behind. The run is clean, so those files are counted and removed.
    contained=$(find build-fuzz/findings -maxdepth 1 -name "$target-crash-*" | wc -l)
    if [ "$contained" -gt 0 ]; then
      rm -f build-fuzz/findings/"$target"-crash-*
      result="clean ($contained faults contained in the reader's child process)"
    fi
  else
    result="FAILED (see $log)"
    status=1
  fi
  summary=$(grep -E '^#[0-9]+' "$log" | tail -1 | sed -E 's/^#([0-9]+).*cov: ([0-9]+) ft: ([0-9]+).*/\1 runs, cov \2, ft \3/')
  printf '%s: %s s, %s: %s\n' "$target" "$seconds" "${summary:-no runs}" "$result"
  rm -rf "$corpus"
done
exit $status
