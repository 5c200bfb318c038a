#!/usr/bin/env bash
# Documents per second through the shared queue with 1, 2 and 4 workers on
# this machine: a private redis-server, N one-page documents exported to PDF
# by a chain, workers started together with --until-empty and timed until the
# last one ends.
# Usage: bench/queue_throughput.sh BUILD_DIR [DOCUMENTS]
set -euo pipefail
build="$(cd "${1:?usage: queue_throughput.sh BUILD_DIR [DOCUMENTS]}" && pwd)"
count="${2:-200}"
korvex="$build/bin/korvex"
work="$(mktemp -d)"
export HOME="$work/home" XDG_DATA_HOME="$work/home/.local/share" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$HOME"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
url="redis://127.0.0.1:$port"
redis-server --port "$port" --bind 127.0.0.1 --dir "$work" --appendonly yes --save "" --daemonize no \
  --logfile "$work/redis.log" &
redis=$!
trap 'kill $redis 2>/dev/null; wait $redis 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do redis-cli -p "$port" ping >/dev/null 2>&1 && break; sleep 0.05; done

cat > "$work/Export.plist" <<PLIST
<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><array><dict>
<key>Action</key><string>PDF</string><key>Style</key><string>[Smallest File Size]</string>
<key>Folder</key><string>$work/PDF</string></dict></array></plist>
PLIST

printf '| workers | documents | seconds | documents per second |\n|---|---|---|---|\n'
for workers in 1 2 4; do
  redis-cli -p "$port" flushall >/dev/null
  rm -rf "$work/Jobs" "$work/PDF" "$HOME/Documents"
  mkdir -p "$work/Jobs"
  for i in $(seq "$count"); do
    cp "$(dirname "$0")/../examples/Flyer Sommerfest.indd" "$work/Jobs/Job $i.indd"
  done
  cp -r "$(dirname "$0")/../examples/Links" "$work/Jobs/Links"
  mkdir -p "$work/PDF"
  "$korvex" queue submit --redis "$url" --chain "$work/Export.plist" "$work"/Jobs/*.indd >/dev/null
  start=$(date +%s.%N)
  pids=()
  for w in $(seq "$workers"); do
    "$korvex" worker --redis "$url" --name "w$w" --until-empty >/dev/null 2>&1 &
    pids+=($!)
  done
  wait "${pids[@]}"
  end=$(date +%s.%N)
  done=$(ls "$work/PDF" | wc -l)
  python3 -c "s=$end-$start; print(f'| $workers | $done | {s:.1f} | {$done/s:.1f} |')"
done
