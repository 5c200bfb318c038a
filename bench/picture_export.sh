#!/usr/bin/env bash
# PDF export of many large pictures under "[Smallest File Size]": each page
# holds a 24-megapixel JPEG and a 16-bit RGB TIFF of 12 megapixels, both far
# above the style's 150 ppi threshold. Every page links its own files (links
# to one pair on disk), so every picture is decoded and resampled. Prints pages
# per second and peak memory of `korvex export`, then the same for Ghostscript
# re-distilling the exported PDF (`gs -sDEVICE=pdfwrite`).
#   bash bench/picture_export.sh [BUILD_DIR] [PAGES]
set -euo pipefail
build="${1:-build-rel}"
pages="${2:-100}"
for program in convert gs qpdf /usr/bin/time; do
  command -v "$program" >/dev/null || { echo "picture_export: $program is needed" >&2; exit 1; }
done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share" \
  XDG_CACHE_HOME="$work/home/.cache" XDG_STATE_HOME="$work/home/.local/state"
mkdir -p "$HOME" "$work/Links"

# Noise, so that neither picture compresses to nothing.
convert -size 6000x4000 gradient:orange-navy -attenuate 0.4 +noise Gaussian -density 300 -quality 90 \
  "$work/photo.jpg"
convert -size 4000x3000 gradient:green-white -attenuate 0.2 +noise Gaussian -depth 16 -density 300 \
  -compress none "$work/deep.tif"
doc="$work/pictures.indd"
{
  printf '{"format": "korvex-document", "version": 1, "pageSize": [595, 842], "spreads": [\n'
  for ((i = 1; i <= pages; i++)); do
    ln -s "$work/photo.jpg" "$work/Links/photo-$i.jpg"
    ln -s "$work/deep.tif" "$work/Links/deep-$i.tif"
    [ "$i" -gt 1 ] && printf ',\n'
    printf '{"pages": [{}], "items": ['
    printf '{"kind": "rectangle", "bounds": [36, 36, 559, 385], "content": {"bounds": [0, 0, 523, 349], "link": {"path": "Links/photo-%d.jpg"}}},' "$i"
    printf '{"kind": "rectangle", "bounds": [36, 420, 559, 812], "content": {"bounds": [0, 0, 523, 392], "link": {"path": "Links/deep-%d.tif"}}}]}' "$i"
  done
  printf ']}\n'
} >"$doc"
echo "$pages pages, each a $(stat -c %s "$work/photo.jpg")-byte JPEG (6000 x 4000) and a $(stat -c %s "$work/deep.tif")-byte 16-bit TIFF (4000 x 3000)"

report() {  # label, time -v output
  local seconds kb
  seconds="$(grep "Elapsed (wall clock)" "$2" | awk '{print $NF}' | awk -F: '{ if (NF == 3) print $1 * 3600 + $2 * 60 + $3; else print $1 * 60 + $2 }')"
  kb="$(grep "Maximum resident" "$2" | awk '{print $NF}')"
  awk -v label="$1" -v s="$seconds" -v kb="$kb" -v p="$pages" \
    'BEGIN { printf "%-22s %8.1f s  %7.2f pages/s  peak %6.0f MB\n", label, s, p / s, kb / 1024 }'
}

/usr/bin/time -v "$build/bin/korvex" export "$doc" "$work/out.pdf" --style "[Smallest File Size]" \
  >"$work/export.log" 2>"$work/export.time" || { cat "$work/export.log" "$work/export.time" >&2; exit 1; }
report "korvex export" "$work/export.time"
/usr/bin/time -v gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile="$work/gs.pdf" "$work/out.pdf" \
  2>"$work/gs.time"
report "gs re-distilling it" "$work/gs.time"
echo "sizes: korvex $(stat -c %s "$work/out.pdf") bytes, Ghostscript $(stat -c %s "$work/gs.pdf") bytes"
qpdf --check "$work/out.pdf" >/dev/null && echo "qpdf --check: clean"
