#!/usr/bin/env bash
# Installs what is needed, builds, and runs Korvex's main job on the bundled
# examples: a batch run of an action chain over copies of the sample
# documents. Prints where the output and the log are.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build
korvex="$PWD/build/bin/korvex"
"$korvex" --version

# Work on copies, so the examples in the repository stay as they are.
work="$PWD/build/demo"
rm -rf "$work"
mkdir -p "$work"
cp -R examples/Links "$work/"
cp examples/*.indd "$work/"
docs=("$work"/*.indd)

for doc in "${docs[@]}"; do
  "$korvex" doc check "$doc"
done

# The demo keeps its settings and host styles in a home of its own, so the
# user's settings neither change it nor are changed by it. The check before
# each action tests the documents against this profile, which lets the
# catalogue's deliberately missing picture pass; the chain's own preflight
# then uses "[Basic]" and files what fails it.
export XDG_DATA_HOME="$work/home"
mkdir -p "$XDG_DATA_HOME/Tamrisk" "$XDG_DATA_HOME/korvex-host/preflight-profiles" "$work/PDF" "$work/Fehler"
echo '{"missingLinks": false}' > "$XDG_DATA_HOME/korvex-host/preflight-profiles/Demo.json"
cat > "$XDG_DATA_HOME/Tamrisk/Korvex.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>Options</key><dict>
<key>modifiedLinks</key><integer>1</integer><key>preflight</key><string>Demo</string>
</dict></dict></plist>
PLIST
sed "s|@WORK@|$work|g" examples/actions/Demo.plist > "$work/Demo.plist"

status=0
"$korvex" run --chain "$work/Demo.plist" "${docs[@]}" || status=$?

echo
echo "PDF export (PDF), preflight page PDFs of clean documents:  $work/PDF"
echo "delivery folders with document, images and fonts (Collect): $work/Auslieferung"
echo "documents that failed the preflight:                         $work/Fehler"
echo "documents that passed stay in:                               $work"
find "$work/PDF" "$work/Auslieferung" "$work/Fehler" -type f | sort
exit "$status"
