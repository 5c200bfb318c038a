#!/usr/bin/env bash
# A semicolon file of SIZE megabytes read into a KorvexTabData, against
# Python's csv module (reader and DictReader) on the same file in the same
# run; each as its own process under /usr/bin/time for the peak memory.
# Usage: bench/tab_data.sh BUILD_DIR [SIZE_MB]   (default 100)
set -euo pipefail
build="${1:?usage: tab_data.sh BUILD_DIR [SIZE_MB]}"
size="${2:-100}"
file="$(mktemp -d)/table.csv"
trap 'rm -rf "$(dirname "$file")"' EXIT
"$build/bin/tab_data_bench" make "$file" "$size"
echo "file: $(du -h "$file" | cut -f1), $(wc -l < "$file") lines"
measure() {
  local label="$1"; shift
  /usr/bin/time -f "$label: %e s elapsed, peak %M KB" "$@"
}
# The Python the distribution ships, whatever PATH says.
python=/usr/bin/python3
measure "korvex read" "$build/bin/tab_data_bench" read "$file"
measure "korvex read + dictionaries" "$build/bin/tab_data_bench" read "$file" --rows
for reader in reader DictReader; do
  measure "python csv.$reader" "$python" -c "
import csv, sys, time
t = time.monotonic()
with open(sys.argv[1], newline='', encoding='utf-8') as f:
    rows = list(csv.$reader(f, delimiter=';'))
s = time.monotonic() - t
print('python csv.$reader: %d rows in %.2f s, %.0f rows/s' % (len(rows), s, len(rows) / s))" "$file"
done
