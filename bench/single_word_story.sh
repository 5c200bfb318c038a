#!/usr/bin/env bash
# Preflight of a document whose story is one word of many characters (30 MB
# by default) in one page-sized frame: time and peak memory of the whole
# `korvex preflight` process, which composes the story for overset text.
#   bash bench/single_word_story.sh [BUILD_DIR] [CHARACTERS]
set -euo pipefail
build="${1:-build-rel}"
chars="${2:-30000000}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share" \
  XDG_CACHE_HOME="$work/home/.cache" XDG_STATE_HOME="$work/home/.local/state"
mkdir -p "$HOME"
doc="$work/word.indd"
{
  printf '{"format": "korvex-document", "version": 1, "layers": [{"name": "Text"}],\n'
  printf ' "stories": [{"id": "s", "text": "'
  head -c "$chars" /dev/zero | tr '\0' 'x'
  printf '", "runs": [{"start": 0, "font": "DejaVu Sans", "size": 10}]}],\n'
  printf ' "spreads": [{"pages": [{}], "items": [{"bounds": [36, 36, 559, 806], "text": {"story": "s"}}]}]}\n'
} >"$doc"
echo "document: $(stat -c %s "$doc") bytes, a word of $chars characters"
/usr/bin/time -v "$build/bin/korvex" preflight "$doc" 2>"$work/time" || true
grep -E "Elapsed|Maximum resident|Exit status" "$work/time"
