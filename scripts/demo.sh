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

status=0
"$korvex" run --chain examples/actions/Demo.plist "${docs[@]}" || status=$?

echo
echo "documents processed in: $work"
ls -l "$work"
exit "$status"
