#!/usr/bin/env bash
# Fails when a source file includes a header of a layer above its own, or
# when anything below the Qt dialog backend (src/qtdialogs) includes a Qt
# header or links Qt in its CMakeLists.txt.
# Usage: check-layers.sh [ROOT]   (ROOT holds src/ and app/; default: this checkout)
set -euo pipefail

# The layers from the bottom up. A file may include headers of its own layer
# and of the layers listed before it, never of one after it. A folder not
# named here belongs to the nearest named folder above it; every folder of
# src/ must belong to one.
layers="foundation platform host host/preflight host/output host/script docmodel config strings dialogs tables run
        actions separation workflows batch queue shell qtdialogs app"

root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
cd "$root"
files=$( { find src app -type f \( -name '*.h' -o -name '*.cpp' \) 2>/dev/null || true; } | sort)
[ -n "$files" ] || { echo "check-layers: no sources under $root"; exit 1; }

# One line per file ("FILE") and per include ("FILE:LINE:#include ..."), then awk ranks them.
{
  for f in $files; do echo "$f"; done
  # shellcheck disable=SC2086
  grep -n -H -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]+"' $files || true
  # Qt headers, named <QWidget> or <QtWidgets/QWidget>.
  # shellcheck disable=SC2086
  grep -n -H -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q[A-Za-z]*(/[A-Za-z_.]+)?>' $files | sed 's/$/ QT/' || true
  # CMake files that link Qt.
  cmakes=$(find src -name CMakeLists.txt 2>/dev/null | sort)
  # shellcheck disable=SC2086
  [ -z "$cmakes" ] || grep -n -H -E 'Qt6|Qt::|find_package\(Qt' $cmakes | sed 's/^\([^:]*\):\([0-9]*\):.*/\1:\2:CMAKE QT/' || true
} | awk -v layers="$layers" '
  BEGIN { n = split(layers, name, /[[:space:]]+/); for (i = 1; i <= n; i++) if (name[i] != "") rank[name[i]] = i }
  # Longest named prefix of a path such as "host/output/pdf_device.h"; 0 when none.
  function rank_of(path,   best, bestLen, l) {
    best = 0; bestLen = 0
    for (l in rank) if (index(path, l "/") == 1 && length(l) > bestLen) { best = rank[l]; bestLen = length(l) }
    return best
  }
  function own_path(file) { return file ~ /^src\// ? substr(file, 5) : file }
  # Qt may only be used from the Qt dialog backend up.
  / QT$/ {
    split($0, part, ":"); file = part[1]; line = part[2]
    own = rank_of(own_path(file))
    if (own > 0 && own < rank["qtdialogs"]) {
      if ($0 ~ /CMAKE QT$/) printf "%s:%s: links Qt below the Qt dialog backend (layer %s)\n", file, line, name[own]
      else printf "%s:%s: includes a Qt header below the Qt dialog backend (layer %s)\n", file, line, name[own]
      bad++
    }
    next
  }
  !/:[0-9]+:/ {
    files++
    if (rank_of(own_path($0)) == 0) { print $0 ": folder is not in the layer table of scripts/check-layers.sh"; bad++ }
    next
  }
  {
    split($0, part, ":"); file = part[1]; line = part[2]
    match($0, /"[^"]+"/); include = substr($0, RSTART + 1, RLENGTH - 2)
    own = rank_of(own_path(file)); target = rank_of(include)
    if (own > 0 && target > own) {
      printf "%s:%s: includes \"%s\" of layer %s, above its own layer %s\n", file, line, include, name[target], name[own]
      bad++
    }
  }
  END {
    if (bad) { printf "check-layers: %d problem(s) in %d files\n", bad, files; exit 1 }
    printf "check-layers: %d files, no upward includes\n", files
  }'
