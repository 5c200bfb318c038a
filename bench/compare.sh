#!/usr/bin/env bash
# Every figure of docs/performance.md beside its yardstick, in one run, as a
# Markdown table on standard output. Whole processes are timed with
# /usr/bin/time (best of RUNS); a ratio above 1 means Korvex is slower.
#   bash bench/compare.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build="$(cd "${1:-build}" && pwd)"
runs="${2:-3}"
here="$(cd "$(dirname "$0")" && pwd)"
korvex="$build/bin/korvex"
for program in python3 gs /usr/bin/time "$korvex" "$build/bin/host_bench" "$build/bin/idml_bench" "$build/bin/tab_data_bench"; do
  command -v "$program" >/dev/null || { echo "compare: $program is needed" >&2; exit 1; }
done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share" \
  XDG_CACHE_HOME="$work/home/.cache" XDG_STATE_HOME="$work/home/.local/state"
mkdir -p "$HOME"

# Best wall time in seconds of RUNS runs of a command (its output discarded).
best() {
  local fastest="" t
  for ((i = 0; i < runs; i++)); do
    /usr/bin/time -f "%e" -o "$work/time" "$@" >/dev/null 2>&1 || { echo "compare: failed: $*" >&2; exit 1; }
    t=$(cat "$work/time")
    fastest=$(python3 -c "a='$fastest'; print(min(float(a), $t) if a else $t)")
  done
  echo "$fastest"
}
ratio() { python3 -c "print(f'{$1 / $2:.2f}×')"; }
row() { printf '| %s | %s | %s | %s |\n' "$1" "$2" "$3" "$4"; }

printf '| figure | Korvex | yardstick | ratio |\n|---|---|---|---|\n'

# Opening a 1,000-page document (50,000 items, 5 MB of text) against json.load of the same bytes.
"$build/bin/host_bench" --write "$work/large.indd"
open=$(best "$korvex" doc check "$work/large.indd")
json=$(best python3 -c 'import json, sys; json.load(open(sys.argv[1], "rb"))' "$work/large.indd")
row "open a 1,000-page document ($(du -m "$work/large.indd" | cut -f1) MB)" "${open} s (doc check)" \
  "${json} s (Python json.load)" "$(ratio "$open" "$json")"

# Batch overhead: a run of a one-action chain over 100 documents against opening and closing them.
mkdir -p "$work/batch"
for i in $(seq 100); do cp "$here/../examples/Katalog Seite 12.indd" "$work/batch/Doc $i.indd"; done
cp -r "$here/../examples/Links" "$work/batch/"
printf '<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><array><dict><key>Action</key><string>#PDF</string></dict></array></plist>' \
  >"$work/off.plist"
batch=$(best "$korvex" run --chain "$work/off.plist" "$work"/batch/*.indd)
plain=$(best "$build/bin/host_bench" --open-close "$work"/batch/*.indd)
per=$(python3 -c "print(f'{($batch - $plain) * 10:.1f}')")
row "run over 100 documents (overhead ${per} ms a document)" "${batch} s" "${plain} s (opening and closing them alone)" \
  "$(ratio "$batch" "$plain")"

# PDF export of the large document against Ghostscript re-distilling that PDF.
export_time=$(best "$korvex" export "$work/large.indd" "$work/large.pdf")
gs_time=$(best gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pdfwrite -sOutputFile="$work/gs.pdf" "$work/large.pdf")
row "PDF export, 1,000 pages" "${export_time} s" "${gs_time} s (gs re-distilling it)" \
  "$(ratio "$export_time" "$gs_time")"

# IDML: open a 500-page package against unzip plus a bare libxml2 parse of every part (in-process, best of 3).
"$build/bin/idml_bench" make "$work/large.idml" >/dev/null
idml=$("$build/bin/idml_bench" open "$work/large.idml" | sed -n 's/^open: \([0-9.]*\) ms$/\1/p')
bare=$("$build/bin/idml_bench" parse "$work/large.idml" | sed -n 's/^parse: \([0-9.]*\) ms$/\1/p')
row "open a 500-page IDML package" "${idml} ms" "${bare} ms (unzip + libxml2)" "$(ratio "$idml" "$bare")"

# Workers on a shared queue.
if command -v redis-server >/dev/null; then
  bash "$here/queue_throughput.sh" "$build" 100 >"$work/queue.md"
  one=$(awk -F'|' '$2 ~ /^ 1 $/ {gsub(/ /, "", $5); print $5}' "$work/queue.md")
  four=$(awk -F'|' '$2 ~ /^ 4 $/ {gsub(/ /, "", $5); print $5}' "$work/queue.md")
  row "queue throughput, 4 workers (documents/s)" "$four" "$one (1 worker)" "$(python3 -c "print(f'{$four / $one:.2f}×')")"
else
  row "queue throughput" "redis-server not installed" "" ""
fi

# Tabular reading: a 100 MB semicolon file into a KorvexTabData against Python's csv.reader.
bash "$here/tab_data.sh" "$build" 100 >"$work/tab.txt" 2>&1 || { echo "compare: tab_data.sh failed" >&2; exit 1; }
tab=$(sed -n 's/^korvex read: \([0-9.]*\) s elapsed.*/\1/p' "$work/tab.txt")
csv=$(sed -n 's/^python csv.reader: \([0-9.]*\) s elapsed.*/\1/p' "$work/tab.txt")
row "read a 100 MB semicolon table" "${tab} s" "${csv} s (Python csv.reader)" "$(ratio "$tab" "$csv")"

# Layer separation: "earlier frames that share area" over 50,000 frames by the index against the
# plain scan of the list, and the whole action on that document (CPU time, in-process).
if [ -x "$build/bin/separation_bench" ]; then
  "$build/bin/separation_bench" --benchmark_format=json >"$work/separation.json" 2>/dev/null
  read -r indexed plain whole < <(python3 -c '
import json, sys
b = {x["name"].split("/")[0]: x["cpu_time"] for x in json.load(open(sys.argv[1]))["benchmarks"]}
print(*(f"{b[n]:.1f}" for n in ("BM_OverlapsIndexed", "BM_OverlapsPlainScan", "BM_Separate")))' \
    "$work/separation.json")
  row "earlier overlapping frames, 50,000 frames" "${indexed} ms (index)" "${plain} ms (plain scan)" \
    "$(ratio "$indexed" "$plain")"
  row "layer separation of 50,000 page items" "${whole} ms" "" ""
else
  row "layer separation against the plain scan" "separation_bench not built" "" ""
fi
