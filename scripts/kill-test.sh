#!/usr/bin/env bash
# Kills korvex with SIGKILL at random moments of its file work and checks that
# nothing was lost and nothing was left behind (docs/reliability.md).
#
#   scripts/kill-test.sh [--quick] [--kills N] [--korvex PATH] [--seed N] [--keep] [--verbose]
#
# Scenarios: a Save chain on a large document; a run that saves documents and
# files the ones failing preflight into an error folder, on the same file
# system and (when a tmpfs can be mounted) across file systems; the hot
# folder's --once over several documents; Collect over an existing delivery.
# After each kill the state is checked, then the same command runs again
# unkilled and the state is checked once more, now strictly.
set -euo pipefail

usage() {
  cat <<'EOF'
usage: scripts/kill-test.sh [--quick] [--kills N] [--korvex PATH] [--seed N] [--keep] [--verbose]
  --quick        50 kills (the suite's mode); the default is 1000
  --kills N      this many kills
  --korvex PATH  the executable (default: $KORVEX, else build/bin/korvex)
  --seed N       seed of the random delays (default: random; printed)
  --keep         keep the scratch folder
  --verbose      one line per kill
EOF
}

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
korvex="${KORVEX:-$repo/build/bin/korvex}"
kills_wanted=""
quick=0
seed=""
keep=0
verbose=0
while (($#)); do
  case "$1" in
    --quick) quick=1 ;;
    --kills)
      [[ $# -ge 2 && $2 =~ ^[0-9]+$ && $2 -gt 0 ]] || { echo "kill-test: --kills needs a number above 0" >&2; exit 2; }
      kills_wanted=$2
      shift ;;
    --korvex)
      [[ $# -ge 2 ]] || { echo "kill-test: --korvex needs a path" >&2; exit 2; }
      korvex=$2
      shift ;;
    --seed)
      [[ $# -ge 2 && $2 =~ ^[0-9]+$ ]] || { echo "kill-test: --seed needs a number" >&2; exit 2; }
      seed=$2
      shift ;;
    --keep) keep=1 ;;
    --verbose | -v) verbose=1 ;;
    --help | -h) usage; exit 0 ;;
    *) echo "kill-test: unknown option '$1'" >&2; usage >&2; exit 2 ;;
  esac
  shift
done
if [[ -z $kills_wanted ]]; then
  if ((quick)); then kills_wanted=50; else kills_wanted=1000; fi
fi
if [[ ! -x $korvex ]]; then
  echo "kill-test: $korvex: no korvex executable there (build first, or give --korvex)" >&2
  exit 2
fi
korvex="$(cd "$(dirname "$korvex")" && pwd)/$(basename "$korvex")"
for tool in md5sum awk find timeout; do
  command -v "$tool" >/dev/null || { echo "kill-test: needs '$tool'" >&2; exit 2; }
done
picture_tool=""
if command -v convert >/dev/null; then
  picture_tool=convert
elif command -v vips >/dev/null; then
  picture_tool=vips
else
  echo "kill-test: needs ImageMagick's convert or libvips' vips to make pictures (scripts/install-deps.sh)" >&2
  exit 2
fi
have_qpdf=0
command -v qpdf >/dev/null && have_qpdf=1
[[ -n $seed ]] || seed=$(((RANDOM << 15) | RANDOM))
RANDOM=$seed

# ---- the scratch folder and a home of its own --------------------------------

work="$(mktemp -d "${TMPDIR:-/tmp}/korvex-kill.XXXXXX")"
mnt="$work/tmpfs"
mounted=0
child=0
cleanup() {
  if ((child > 0)); then kill -KILL "$child" 2>/dev/null || true; fi
  if ((mounted)); then umount "$mnt" 2>/dev/null || umount -l "$mnt" 2>/dev/null || true; fi
  if ((keep)); then echo "kill-test: kept $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT
# Interrupted during the kills: the summary of those done so far.
interrupted=0
trap 'exit 130' INT TERM

home="$work/home"
export HOME="$home"
export XDG_DATA_HOME="$home/.local/share"
export XDG_DOCUMENTS_DIR="$home/Documents"
export XDG_CONFIG_HOME="$home/.config"
export XDG_CACHE_HOME="$home/.cache"
export XDG_RUNTIME_DIR="$home/run"
export TMPDIR="$home/tmp"
mkdir -p "$XDG_DATA_HOME" "$XDG_DOCUMENTS_DIR" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$TMPDIR"
mkdir -p "$XDG_RUNTIME_DIR"
chmod 0700 "$XDG_RUNTIME_DIR"
uid="$(id -u)"
pristine="$work/pristine"   # each scenario's starting state, copied back before each kill
disk="$work/disk"           # where the scenarios run
chains="$work/chains"
mkdir -p "$pristine" "$disk" "$chains" "$mnt"

if mount -t tmpfs -o size=256m,mode=0755 korvex-kill "$mnt" 2>/dev/null; then
  mounted=1
fi

# ---- results -----------------------------------------------------------------

losses=()
litter=()
kills=0
misses=0
pending_temporaries=0
recovered_claims=0
declare -A scenario_kills=()
scen=""
kill_no=0

loss() { losses+=("loss: $scen (kill $kill_no): $*"); }
left() { litter+=("litter: $scen (kill $kill_no): $*"); }

# The checksum of a file (setting scenarios up).
sum_of() {
  if [[ -f $1 && ! -L $1 ]]; then md5sum <"$1" | awk '{print $1}'; fi
}

# Times in microseconds, in the shell's own arithmetic.
now_us() { local t=${EPOCHREALTIME/[.,]/}; echo $((10#$t)); }
seconds() { printf '%d.%03d' $(($1 / 1000000)) $(($1 % 1000000 / 1000)); }

# A uniformly random moment between lo and hi microseconds.
random_delay_us() {
  local r=$(((RANDOM << 15) | RANDOM))
  echo $(($1 + ($2 - $1) * r / 1073741824))
}

trash_folders() {
  local t
  for t in "$XDG_DATA_HOME/Trash" "$mnt/.Trash-$uid" "$mnt/.Trash/$uid"; do
    if [[ -d $t ]]; then printf '%s\n' "$t"; fi
  done
}

# Where a scenario writes, the Trashes included.
folders_of() {
  printf '%s\n' "$disk/$1"
  if ((mounted)) && [[ -d $mnt/$1 ]]; then printf '%s\n' "$mnt/$1"; fi
  trash_folders
}

# SUM: the checksum of every regular file where the scenario writes, by path;
# trash_list: those of the files in the Trashes. One md5sum for all.
declare -A SUM=()
trash_list=""
snapshot() {
  SUM=()
  trash_list=""
  local s p
  while read -r s p; do
    SUM[$p]=$s
    case $p in */Trash/files/* | */.Trash-*/files/* | */.Trash/*/files/*) trash_list+="$s " ;; esac
  done < <(folders_of "$1" | tr '\n' '\0' | xargs -0 -I{} find {} -type f -print0 2>/dev/null | xargs -0r md5sum)
}

in_trash() { [[ -n $1 && $trash_list == *"$1 "* ]]; }

# Our temporaries and staging items: ".korvex-TAG-PID-…" and the older
# ".NAME.korvex-TAG-PID-…" (foundation/atomic_file.cpp).
temporary_component='/\.([^/]*\.)?korvex-[a-z]+-[0-9]+-'
temporaries_of() {
  folders_of "$1" | tr '\n' '\0' | xargs -0 -I{} find {} -regextype posix-extended \
    -regex ".*${temporary_component}[^/]*" -prune -print 2>/dev/null | sort
}

# Every file or link under dir that is not one of the expected relative paths
# (temporaries are reported on their own).
unexpected_in() {
  local dir=$1
  shift
  local -A expected=()
  local p
  for p in "$@"; do expected["$p"]=1; done
  while IFS= read -r -d '' p; do
    [[ -n ${expected["$p"]+x} || /$p =~ $temporary_component ]] || printf '%s\n' "$dir/$p"
  done < <(find "$dir" -mindepth 1 \( -type f -o -type l -o -type p -o -type s \) -printf '%P\0' 2>/dev/null)
}

# The Trash's own bookkeeping. A trashed item without its .trashinfo is one
# file managers can't show or restore: lost. A .trashinfo without its item is
# how the Trash reserves a name before the move (g_file_trash writes it first,
# as the freedesktop Trash asks); a kill in between leaves it, which the
# Trash's readers ignore. Counted, not litter.
trash_orphans=0
check_trash() {
  local t f name
  while IFS= read -r t; do
    for f in "$t"/info/*.trashinfo; do
      [[ -e $f ]] || continue
      name="${f##*/}"
      name="${name%.trashinfo}"
      if [[ ! -e $t/files/$name && ! -L $t/files/$name ]]; then
        trash_orphans=$((trash_orphans + 1))
        ((verbose)) && echo "kill-test: $scen (kill $kill_no): $f: trash info without its item"
      fi
    done
    for f in "$t"/files/* "$t"/files/.[!.]*; do
      [[ -e $f || -L $f ]] || continue
      [[ -e $t/info/${f##*/}.trashinfo ]] || loss "$f: in the Trash without its .trashinfo"
    done
  done < <(trash_folders)
  return 0
}

# A complete PDF: one of the versions seen in unkilled runs, else what qpdf
# (or, without it, the end marker) says.
declare -A pdf_known=()
pdf_complete() {
  local s="${SUM[$1]:-}"
  [[ -n $s && -n ${pdf_known[$s]+x} ]] && return 0
  if ((have_qpdf)); then
    qpdf --check "$1" >/dev/null 2>&1
  else
    tail -c 1024 "$1" | grep -q '%%EOF'
  fi
}

# Every PDF in a folder is complete; each one that is not is a loss.
pdfs_complete() {
  local f
  for f in "$1"/*.pdf; do
    [[ -e $f ]] || continue
    pdf_complete "$f" || loss "$f: not a complete PDF"
  done
}
learn_pdfs() {
  local p
  for p in "${!SUM[@]}"; do
    [[ $p == *.pdf ]] || continue
    pdf_complete "$p" || { echo "kill-test: $p: not a complete PDF from an unkilled run" >&2; exit 1; }
    pdf_known[${SUM[$p]}]=1
  done
}

# Names a file whose bytes are neither version, with what `korvex doc check` says of it.
not_a_version() {
  local verdict
  verdict="$("$korvex" doc check "$1" 2>&1 | head -n 1)" || true
  loss "$1: neither the old nor the new version ($(wc -c <"$1") bytes; doc check: $verdict)"
}

# The final check found the bytes s at f where the new version belongs.
not_new() {
  if [[ $2 == "$3" ]]; then loss "$1: still the old version after the follow-up run"; else not_a_version "$1"; fi
}

# ---- documents and pictures --------------------------------------------------

# make_doc OUT MARK SPREADS ITEMS LABEL LAYERS [LINK]: a native document of
# SPREADS one-page spreads with ITEMS labelled rectangles each; LAYERS "text"
# gives a "Text" layer and a locked "Bilder" layer (Preflight changes both),
# "plain" only "Bilder" (Preflight files it as failed). LINK places a picture.
make_doc() {
  awk -v mark="$2" -v spreads="$3" -v items="$4" -v len="$5" -v layers="$6" -v link="${7:-}" '
  BEGIN {
    filler = ""
    while (length(filler) < len) filler = filler "Artikel " mark " "
    filler = substr(filler, 1, len)
    printf "{\n\"format\": \"korvex-document\",\n\"version\": 1,\n"
    if (layers == "text") printf "\"layers\": [{\"name\": \"Text\"}, {\"name\": \"Bilder\", \"locked\": true}],\n"
    else printf "\"layers\": [{\"name\": \"Bilder\"}],\n"
    printf "\"spreads\": [\n"
    for (s = 0; s < spreads; s++) {
      printf "{\"pages\": [{\"name\": \"%d\"}], \"items\": [", s + 1
      for (i = 0; i < items; i++) {
        x = 36 + (i % 4) * 130; y = 36 + int(i / 4) * 130
        printf "%s{\"layer\": \"Bilder\", \"bounds\": [%d, %d, %d, %d], \"fill\": \"Black\", \"fillTint\": %d, \"labels\": {\"Artikel\": \"%s %d-%d\"}", \
          (i ? ", " : ""), x, y, x + 120, y + 120, 10 + (s + i) % 80, filler, s, i
        if (link != "" && s == 0 && i == 0) printf ", \"content\": {\"link\": {\"path\": \"%s\"}}", link
        printf "}"
      }
      printf "]}%s\n", (s + 1 < spreads ? "," : "")
    }
    printf "]\n}\n"
  }' >"$1"
}

# make_picture OUT SIZE SEED: a PNG of noise, different for each seed.
make_picture() {
  if [[ $picture_tool == convert ]]; then
    convert -seed "$3" -size "$2x$2" xc: +noise Random "$1"
  else
    vips gaussnoise "$1" "$2" "$2" --mean $((100 + $3 % 50))
  fi
}

plist_string() {
  local v=${2//&/&amp;}
  v=${v//</&lt;}
  printf '<key>%s</key><string>%s</string>' "$1" "${v//>/&gt;}"
}
plist_int() { printf '<key>%s</key><integer>%s</integer>' "$1" "$2"; }
# write_chain FILE DICT...: an action file of the given action dictionaries' keys.
write_chain() {
  local file=$1 dict
  shift
  {
    printf '<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0">\n<array>\n'
    for dict in "$@"; do printf '<dict>%s</dict>\n' "$dict"; done
    printf '</array>\n</plist>\n'
  } >"$file"
}

# ---- running korvex ----------------------------------------------------------

# Runs the scenario's command to its end; exit status in $run_status.
run_to_end() {
  run_status=0
  timeout 600 "${cmd[@]}" >"$work/last-run.txt" 2>&1 || run_status=$?
}

# A pipe nobody writes to: reading it with a timeout waits without a process.
exec {tick}<> <(:)

# Runs the scenario's command and kills it after $1 microseconds. killed=1
# when the signal met the process; else 0, and ended_us says when it ended.
run_and_kill() {
  local start deadline state
  start=$(now_us)
  deadline=$((start + $1))
  "${cmd[@]}" >"$work/last-run.txt" 2>&1 &
  child=$!
  ended_us=0
  while :; do
    # Gone, or a zombie not yet reaped: it ended by itself.
    if ! read -r _ _ state _ 2>/dev/null <"/proc/$child/stat" || [[ $state == Z ]]; then
      ended_us=$(($(now_us) - start))
      break
    fi
    (($(now_us) >= deadline)) && break
    read -r -t 0.002 -u "$tick" _ || true
  done
  kill -KILL "$child" 2>/dev/null || true
  local status=0
  wait "$child" 2>/dev/null || status=$?
  child=0
  killed=0
  if ((status == 128 + 9)); then
    killed=1
  elif ((ended_us == 0)); then
    ended_us=$(($(now_us) - start))  # it ended just before the signal
  fi
  return 0
}

restore() {
  rm -rf "${disk:?}/$1" "$XDG_DATA_HOME/Trash"
  cp -a "$pristine/$1" "$disk/$1"
  if ((mounted)); then
    rm -rf "${mnt:?}/$1" "$mnt"/.Trash-* "$mnt/.Trash"
    if [[ -d $pristine/tmpfs-$1 ]]; then cp -a "$pristine/tmpfs-$1" "$mnt/$1"; fi
  fi
}

# ---- scenario: a Save chain on a large document -------------------------------

save_doc="Großer Katalog.indd"
setup_save() {
  local spreads=2000
  mkdir -p "$pristine/save"
  make_doc "$pristine/save/$save_doc" "Frühjahr" "$spreads" 4 240 text
  write_chain "$chains/save.plist" "$(plist_string Action Preflight)" "$(plist_string Action Save)"
  declare -g save_old
  save_old="$(sum_of "$pristine/save/$save_doc")"
}
command_save() { cmd=("$korvex" run --chain "$chains/save.plist" "$disk/save/$save_doc"); }
learn_save() { declare -g save_new; save_new="${SUM[$disk/save/$save_doc]:-}"; }

check_save() {
  local phase=$1 f="$disk/save/$save_doc" s
  s="${SUM[$f]:-}"
  if [[ -z $s ]]; then
    loss "$f: missing"
  elif [[ $phase == final && $s != "$save_new" ]]; then
    not_new "$f" "$s" "$save_old"
  elif [[ $s != "$save_old" && $s != "$save_new" ]]; then
    not_a_version "$f"
  fi
  [[ $phase == final ]] && while IFS= read -r f; do left "$f"; done < <(unexpected_in "$disk/save" "$save_doc")
  return 0
}

# ---- scenario: a run filing documents into an error folder --------------------

run_pass=("Heft Seite 2.indd" "Heft Seite 4.indd" "Heft Seite 6.indd")
run_fail=("Fehler A.indd" "Fehler B.indd" "Fehler C.indd")
run_pdfs=()
declare -A run_old=() run_new=()

# setup_run NAME ERRORS_ROOT: documents in $disk/NAME/src, errors and PDFs
# under ERRORS_ROOT/NAME (the disk, or the tmpfs for moves across file systems).
setup_run() {
  local name=$1 errors_root=$2 d pdf_root
  local src="$pristine/$name/src"
  pdf_root="$pristine/$name"
  [[ $errors_root == "$mnt" ]] && pdf_root="$pristine/tmpfs-$name"
  mkdir -p "$src" "$pdf_root/error" "$pdf_root/pdf"
  for d in "${run_pass[@]}"; do make_doc "$src/$d" "$d" 2 30 200 text; done
  for d in "${run_fail[@]}"; do make_doc "$src/$d" "$d" 2 30 200 plain; done
  # An earlier run's document of the same name, its owner's only copy: it
  # goes to the Trash, never away. GIO has no Trash on a tmpfs (a "system
  # internal mount"), so there Korvex would rightly refuse to replace it.
  if [[ $errors_root != "$mnt" ]]; then make_doc "$pdf_root/error/Fehler B.indd" "früher" 1 3 50 plain; fi
  write_chain "$chains/$name.plist" \
    "$(plist_string Action Preflight)$(plist_string PreflightProfile '[Basic]')$(plist_string ErrorFolder "$errors_root/$name/error")$(plist_string PDFPath "$errors_root/$name/pdf")$(plist_string PDFStyle '[High Quality Print]')" \
    "$(plist_string Action Save)"
  for d in "${run_pass[@]}" "${run_fail[@]}"; do run_old["$name/$d"]="$(sum_of "$src/$d")"; done
  run_old["$name/namesake"]="$(sum_of "$pdf_root/error/Fehler B.indd")"  # empty on the tmpfs
  run_pdfs=()
  for d in 2 4 6; do
    run_pdfs+=("$(printf '%03d' $((d - 1)))-Seite-Heft Seite $d.pdf" "$(printf '%03d' "$d")-Seite-Heft Seite $d.pdf")
  done
}
run_errors_root() { if [[ $1 == run-x ]]; then echo "$mnt"; else echo "$disk"; fi; }
command_run() {
  local d
  cmd=("$korvex" run --chain "$chains/$1.plist" --)
  for d in "${run_pass[@]}" "${run_fail[@]}"; do cmd+=("$disk/$1/src/$d"); done
}
learn_run() {
  local name=$1 d root
  root="$(run_errors_root "$name")/$name"
  for d in "${run_pass[@]}"; do run_new["$name/$d"]="${SUM[$disk/$name/src/$d]:-}"; done
  for d in "${run_fail[@]}"; do run_new["$name/$d"]="${SUM[$root/error/$d]:-}"; done
}

check_run() {
  local name=$1 phase=$2 d s f root places
  root="$(run_errors_root "$name")/$name"
  local src="$disk/$name/src" err="$root/error" pdf="$root/pdf"
  local -A namesake_seen=()
  for d in "${run_pass[@]}" "${run_fail[@]}"; do
    places=0
    for f in "$src/$d" "$err/$d"; do
      s="${SUM[$f]:-}"
      [[ -n $s ]] || continue
      if [[ $f == "$err/$d" && $d == "Fehler B.indd" && $s == "${run_old[$name/namesake]}" ]]; then
        namesake_seen[$d]=1
        continue
      fi
      places=$((places + 1))
      if [[ $phase == final && $s != "${run_new[$name/$d]}" ]]; then
        not_new "$f" "$s" "${run_old[$name/$d]}"
      elif [[ $s != "${run_old[$name/$d]}" && $s != "${run_new[$name/$d]}" ]]; then
        not_a_version "$f"
      fi
    done
    if ((places == 0)); then
      loss "$d: in neither $src nor $err"
    elif ((places == 2)); then
      # Across file systems a move copies, syncs, then removes the source: a
      # kill in between leaves two complete copies, and the next run files the
      # source again. On one file system a move is a rename.
      if [[ $phase == final || $name != run-x ]]; then left "$d: both in $src and in $err"; fi
    fi
  done
  # The earlier namesake in the error folder: there or in the Trash.
  if [[ -n ${run_old[$name/namesake]} && -z ${namesake_seen["Fehler B.indd"]+x} ]] &&
    ! in_trash "${run_old[$name/namesake]}"; then
    loss "$err/Fehler B.indd: the earlier document of that name is neither there nor in the Trash"
  fi
  if [[ $phase == final && -n ${namesake_seen["Fehler B.indd"]+x} ]]; then
    loss "$err/Fehler B.indd: the earlier namesake is still there after the follow-up run"
  fi
  # Every PDF there is complete.
  pdfs_complete "$pdf"
  if [[ $phase == final ]]; then
    for d in "${run_pdfs[@]}"; do [[ -f $pdf/$d ]] || loss "$pdf/$d: missing after the follow-up run"; done
    while IFS= read -r f; do left "$f"; done < <(
      unexpected_in "$src" "${run_pass[@]}"
      unexpected_in "$err" "${run_fail[@]}"
      unexpected_in "$pdf" "${run_pdfs[@]}"
    )
  fi
}

# ---- scenario: the hot folder --------------------------------------------------

hot_docs=("Anzeige 1.indd" "Anzeige 2.indd" "Anzeige 3.indd" "Anzeige 4.indd")
hot_others=("Kaputt.indd" "Notiz.txt")
hot_namesake="Anzeige 3.indd"
declare -A hot_old=() hot_new=()
hot_sub="$disk/hot/Hotfolder/Proof"

setup_hot() {
  local sub="$pristine/hot/Hotfolder/Proof" d
  mkdir -p "$sub/Links" "$sub/Out" "$XDG_DATA_HOME/Korvex" "$XDG_DATA_HOME/Tamrisk"
  make_picture "$sub/Links/bild.png" 64 7
  for d in "${hot_docs[@]}"; do make_doc "$sub/$d" "$d" 3 12 120 text "Links/bild.png"; done
  printf '{ "format": "korvex-document", "version": 1, "spreads": [' >"$sub/Kaputt.indd"
  printf 'Korrektur bis Freitag.\n' >"$sub/Notiz.txt"
  # An earlier drop of the same name: it goes to the Trash, never away.
  make_doc "$sub/Out/$hot_namesake" "früher" 1 2 40 text
  "$korvex" export "$sub/Out/$hot_namesake" "$sub/Out/${hot_namesake%.indd}.pdf" >/dev/null
  for d in "${hot_docs[@]}" "${hot_others[@]}"; do hot_old[$d]="$(sum_of "$sub/$d")"; done
  hot_old[namesake]="$(sum_of "$sub/Out/$hot_namesake")"
  hot_old[pdf]="$(sum_of "$sub/Out/${hot_namesake%.indd}.pdf")"
  write_chain "$XDG_DATA_HOME/Korvex/Proof.plist" "$(plist_string Action Preflight)" "$(plist_string Action Save)" \
    "$(plist_string Action PDF)$(plist_string Style '[High Quality Print]')$(plist_int Show 0)"
  cat >"$XDG_DATA_HOME/Tamrisk/Korvex.plist" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0">
<dict>$(plist_string Hotfolder "$disk/hot/Hotfolder")</dict>
</plist>
EOF
}
command_hot() { cmd=("$korvex" hotfolder --once); }
learn_hot() {
  local d
  for d in "${hot_docs[@]}" "${hot_others[@]}"; do hot_new[$d]="${SUM[$hot_sub/Out/$d]:-}"; done
}

check_hot() {
  local phase=$1 d f s places where
  local out="$hot_sub/Out" claims="$hot_sub/.korvex"
  for d in "${hot_docs[@]}" "${hot_others[@]}"; do
    places=0
    where=""
    for f in "$hot_sub/$d" "$claims/$d" "$out/$d"; do
      s="${SUM[$f]:-}"
      [[ -n $s ]] || continue
      [[ $f == "$out/$d" && $d == "$hot_namesake" && $s == "${hot_old[namesake]}" ]] && continue
      places=$((places + 1))
      where+=" ${f#"$hot_sub/"}"
      if [[ $phase == final && $s != "${hot_new[$d]}" ]]; then
        if [[ $s == "${hot_old[$d]}" ]]; then
          loss "$f: not processed (still as dropped) after the follow-up run"
        else
          not_a_version "$f"
        fi
      elif [[ $s != "${hot_old[$d]}" && $s != "${hot_new[$d]}" ]]; then
        not_a_version "$f"
      fi
    done
    if ((places == 0)); then
      loss "$d: in none of the subfolder, its working folder and Out"
    elif [[ $phase == immediate ]]; then
      # In hand: the claim in the working folder keeps the original while Out
      # holds the document for its chain; anything else twice is wrong.
      if ((places > 1)) && [[ $where != " .korvex/$d Out/$d" ]]; then left "$d: in more than one place:$where"; fi
      [[ $where == *".korvex/$d"* ]] && hot_in_hand+=("$d")
    elif [[ $where != " Out/$d" ]]; then
      left "$d: not only in Out after the follow-up run:$where"
    fi
  done
  if [[ "${SUM[$out/$hot_namesake]:-}" != "${hot_old[namesake]}" ]] && ! in_trash "${hot_old[namesake]}"; then
    loss "$out/$hot_namesake: the earlier drop is neither in Out nor in the Trash"
  fi
  f="$out/${hot_namesake%.indd}.pdf"
  if [[ "${SUM[$f]:-}" != "${hot_old[pdf]}" ]] && ! in_trash "${hot_old[pdf]}"; then
    loss "$f: the earlier PDF is neither in Out nor in the Trash"
  fi
  pdfs_complete "$out"
  if [[ $phase == final ]]; then
    local want=("Links/bild.png" ".korvex/.lock")
    for d in "${hot_docs[@]}" "${hot_others[@]}"; do want+=("Out/$d"); done
    for d in "${hot_docs[@]}"; do
      want+=("Out/${d%.indd}.pdf")
      [[ -f $out/${d%.indd}.pdf ]] || loss "$out/${d%.indd}.pdf: missing after the follow-up run"
    done
    while IFS= read -r f; do left "$f"; done < <(unexpected_in "$hot_sub" "${want[@]}")
    # The restart guarantee: what was in hand when killed was processed now.
    for d in "${hot_in_hand[@]}"; do
      recovered_claims=$((recovered_claims + 1))
      [[ "${SUM[$out/$d]:-}" == "${hot_new[$d]}" ]] || loss "$out/$d: in hand when killed, not processed at the next start"
    done
  fi
  return 0
}

# ---- scenario: Collect over an existing delivery ----------------------------------

collect_docs=("Prospekt 1.indd" "Prospekt 2.indd")
declare -A collect_old=() collect_new=()
collect_delivered=()

setup_collect() {
  local src="$pristine/collect/src" out="$pristine/collect/Auslieferung" d i
  mkdir -p "$src/Links" "$out"
  write_chain "$chains/collect.plist" \
    "$(plist_string Action Collect)$(plist_string Folder "$disk/collect/Auslieferung")$(plist_int SubFolders 1)$(plist_int Docs 1)$(plist_int Picts 1)$(plist_int Fonts 0)"
  # The earlier versions, delivered by an earlier Collect.
  make_picture "$src/Links/bild-1.png" 300 1
  make_picture "$src/Links/bild-2.png" 300 2
  i=0
  for d in "${collect_docs[@]}"; do
    i=$((i + 1))
    make_doc "$src/$d" "alt $d" 20 6 120 text "Links/bild-$i.png"
  done
  touch -d '2026-01-01 10:00' "$src"/*.indd "$src"/Links/*.png
  rm -rf "$disk/collect"
  cp -a "$pristine/collect" "$disk/collect"
  command_collect
  run_to_end
  collect_delivered=()
  i=0
  for d in "${collect_docs[@]}"; do
    i=$((i + 1))
    collect_delivered+=("${d%.indd}/$d" "${d%.indd}/images/bild-$i.png")
  done
  for f in "${collect_delivered[@]}"; do
    [[ -f $disk/collect/Auslieferung/$f ]] || { echo "kill-test: Collect delivered no $f; see $work/last-run.txt" >&2; exit 1; }
  done
  rm -rf "$out"
  cp -a "$disk/collect/Auslieferung" "$out"
  for f in "${collect_delivered[@]}"; do collect_old[$f]="$(sum_of "$out/$f")"; done
  # The new versions in the sources, newer than the delivery.
  make_picture "$src/Links/bild-1.png" 300 11
  make_picture "$src/Links/bild-2.png" 300 12
  i=0
  for d in "${collect_docs[@]}"; do
    i=$((i + 1))
    make_doc "$src/$d" "neu $d" 20 6 120 text "Links/bild-$i.png"
    collect_new["${d%.indd}/$d"]="$(sum_of "$src/$d")"
    collect_new["${d%.indd}/images/bild-$i.png"]="$(sum_of "$src/Links/bild-$i.png")"
  done
  touch -d '2026-02-01 10:00' "$src"/*.indd "$src"/Links/*.png
}
command_collect() { cmd=("$korvex" run --chain "$chains/collect.plist" --); local d; for d in "${collect_docs[@]}"; do cmd+=("$disk/collect/src/$d"); done; }
learn_collect() { :; }

check_collect() {
  local phase=$1 f p s
  local out="$disk/collect/Auslieferung" src="$disk/collect/src"
  for p in "${collect_delivered[@]}"; do
    f="$out/$p"
    s="${SUM[$f]:-}"
    if [[ -z $s ]]; then
      # Between the older copy leaving for the Trash and the new one taking
      # its name, the delivery lacks it; the older copy must be in the Trash.
      [[ $phase == final ]] && loss "$f: missing after the follow-up run"
    elif [[ $phase == final && $s != "${collect_new[$p]}" ]]; then
      not_new "$f" "$s" "${collect_old[$p]}"
    elif [[ $s != "${collect_old[$p]}" && $s != "${collect_new[$p]}" ]]; then
      not_a_version "$f"
    fi
    if [[ $s != "${collect_old[$p]}" ]] && ! in_trash "${collect_old[$p]}"; then
      loss "$f: the delivered older version is neither there nor in the Trash"
    fi
  done
  for p in "${collect_docs[@]}" Links/bild-1.png Links/bild-2.png; do
    [[ -f $src/$p ]] || loss "$src/$p: a source of Collect is gone"
  done
  if [[ $phase == final ]]; then
    while IFS= read -r f; do left "$f"; done < <(unexpected_in "$out" "${collect_delivered[@]}")
  fi
  return 0
}

# ---- the loop -----------------------------------------------------------------

started=$(now_us)
scenarios=(save run hot collect)
setup_save
setup_run run "$disk"
if ((mounted)); then
  setup_run run-x "$mnt"
  scenarios=(save run run-x hot collect)
else
  echo "kill-test: no tmpfs could be mounted (needs root): the run across file systems is skipped"
fi
setup_hot
setup_collect

# The scenario's generic steps by name.
command_of() { case $1 in run | run-x) command_run "$1" ;; *) "command_$1" ;; esac; }
learn_of() { case $1 in run | run-x) learn_run "$1" ;; *) "learn_$1" ;; esac; }
check_of() { case $1 in run | run-x) check_run "$1" "$2" ;; *) "check_$1" "$2" ;; esac; }

declare -A window_lo=() window_hi=()
hot_in_hand=()
echo "kill-test: $korvex, $kills_wanted kills, seed $seed"
# How long korvex takes to start and stop doing nothing (the quickest of
# three): kills before that end meet no file work.
startup=0
for _ in 1 2 3; do
  t0=$(now_us)
  "$korvex" log path >/dev/null
  t1=$(($(now_us) - t0))
  if ((startup == 0 || t1 < startup)); then startup=$t1; fi
done
# Each scenario once unkilled: how long it takes, and its new versions.
for scen in "${scenarios[@]}"; do
  kill_no=0
  restore "$scen"
  command_of "$scen"
  t0=$(now_us)
  run_to_end
  duration=$(($(now_us) - t0))
  snapshot "$scen"
  learn_of "$scen"
  learn_pdfs
  before=${#losses[@]}
  check_of "$scen" final
  if ((${#losses[@]} > before)); then
    printf '%s\n' "${losses[@]:$before}" >&2
    echo "kill-test: $scen does not come out right even without kills; see $work/last-run.txt" >&2
    keep=1
    exit 1
  fi
  window_lo[$scen]=$startup
  # --once waits a second between its two looks; nothing is touched before.
  [[ $scen == hot ]] && window_lo[$scen]=1000000
  window_hi[$scen]=$((duration > window_lo[$scen] + 100000 ? duration : window_lo[$scen] + 100000))
  echo "kill-test: $scen: an unkilled run takes $(seconds "$duration")s"
done
echo "kill-test: ready after $(seconds $(($(now_us) - started)))s; korvex starts in $(seconds "$startup")s"

attempt=0
trap 'interrupted=1' INT TERM
while ((kills < kills_wanted && !interrupted)); do
  scen="${scenarios[$((attempt % ${#scenarios[@]}))]}"
  attempt=$((attempt + 1))
  kill_no=$((kills + 1))
  restore "$scen"
  command_of "$scen"
  delay=$(random_delay_us "${window_lo[$scen]}" "${window_hi[$scen]}")
  run_and_kill "$delay"
  if ((!killed)); then
    # The run was quicker than measured: the window's end moves halfway to
    # when it ended.
    misses=$((misses + 1))
    hi=$(((window_hi[$scen] + ended_us) / 2))
    window_hi[$scen]=$((hi > window_lo[$scen] + 100000 ? hi : window_lo[$scen] + 100000))
    if ((misses > 5 * kills_wanted + 50)); then
      echo "kill-test: runs keep ending before their kill; stopped after $kills kills" >&2
      break
    fi
    continue
  fi
  kills=$((kills + 1))
  scenario_kills[$scen]=$((${scenario_kills[$scen]:-0} + 1))
  hot_in_hand=()
  before_losses=${#losses[@]}
  before_litter=${#litter[@]}
  # Right after the kill: every document somewhere, whole, old or new.
  mapfile -t temps < <(temporaries_of "$scen")
  pending_temporaries=$((pending_temporaries + ${#temps[@]}))
  snapshot "$scen"
  check_of "$scen" immediate
  # After the same command ran again to its end: everything where it belongs,
  # nothing left over.
  run_to_end
  if ((run_status == 124)); then
    loss "the follow-up run did not end within 600 s"
  elif ((run_status > 128)); then
    loss "the follow-up run ended with signal $((run_status - 128))"
  fi
  snapshot "$scen"
  check_of "$scen" final
  check_trash
  while IFS= read -r f; do left "$f: a temporary left after the follow-up run"; done < <(temporaries_of "$scen")
  if ((verbose)); then
    echo "kill $kills: $scen at $(seconds "$delay")s: ${#temps[@]} temporaries right after, $((${#losses[@]} - before_losses)) losses, $((${#litter[@]} - before_litter)) litter"
  fi
  if ((${#losses[@]} > before_losses || ${#litter[@]} > before_litter)); then
    keep=1
    mkdir -p "$work/faults/$kills"
    cp -a "$disk/$scen" "$work/faults/$kills/" 2>/dev/null || true
  fi
done

trap 'exit 130' INT TERM
((interrupted)) && echo "kill-test: interrupted after $kills of $kills_wanted kills"
for scen in "${scenarios[@]}"; do
  echo "kill-test: $scen: ${scenario_kills[$scen]:-0} kills; window at the end $(seconds "${window_lo[$scen]}")-$(seconds "${window_hi[$scen]}")s"
done
echo "kill-test: $misses runs ended before their kill (not counted); $pending_temporaries temporaries seen right after kills; $recovered_claims documents in hand when killed; $trash_orphans trash infos without their item"
for line in "${losses[@]}" "${litter[@]}"; do echo "kill-test: $line"; done
echo "kill-test: $kills kills, ${#losses[@]} losses, ${#litter[@]} litter"
((${#losses[@]} == 0 && ${#litter[@]} == 0))
