#!/usr/bin/env bash
# The layer check must catch an upward include and an unlisted folder, and
# pass a tree that only includes downwards.
set -uo pipefail
check="$1"
tree="$(mktemp -d)"
trap 'rm -rf "$tree"' EXIT
fails=0
expect() {  # expect EXIT_CODE TEXT: runs the check on the tree
  local out rc
  out=$(bash "$check" "$tree" 2>&1); rc=$?
  if [ "$rc" -ne "$1" ] || [[ "$out" != *"$2"* ]]; then
    echo "expected exit $1 and \"$2\", got exit $rc:"; echo "$out"; fails=$((fails + 1))
  fi
}

mkdir -p "$tree/src/foundation" "$tree/src/host/output" "$tree/src/batch" "$tree/app/korvex"
printf '#include <vector>\n#include "foundation/log.h"\n' > "$tree/src/foundation/log.h"
printf '#include "foundation/log.h"\n#include "host/output/pdf.h"\n' > "$tree/src/host/output/pdf.h"
printf '#include "host/output/pdf.h"\n' > "$tree/src/batch/run.cpp"
printf '#include "batch/run.h"\n' > "$tree/app/korvex/main.cpp"
expect 0 "4 files, no upward includes"

printf '#include "foundation/log.h"\n  #  include "batch/run.h"\n' > "$tree/src/host/output/pdf.h"
expect 1 'src/host/output/pdf.h:2: includes "batch/run.h" of layer batch, above its own layer host/output'

printf '#include "foundation/log.h"\n' > "$tree/src/host/output/pdf.h"
printf '#include "host/output/pdf.h"\n' > "$tree/src/host/model.cpp"
expect 1 'src/host/model.cpp:1: includes "host/output/pdf.h" of layer host/output, above its own layer host'

rm "$tree/src/host/model.cpp"
mkdir -p "$tree/src/dialogs" "$tree/src/qtdialogs"
printf '#include <QtWidgets/QDialog>\n' > "$tree/src/qtdialogs/qt_backend.cpp"
printf 'target_link_libraries(korvex_qtdialogs PUBLIC Qt6::Widgets)\n' > "$tree/src/qtdialogs/CMakeLists.txt"
expect 0 "5 files, no upward includes"
printf '#include <vector>\n#include <QWidget>\n' > "$tree/src/dialogs/panel.cpp"
expect 1 'src/dialogs/panel.cpp:2: includes a Qt header below the Qt dialog backend (layer dialogs)'
rm "$tree/src/dialogs/panel.cpp"
printf 'find_package(Qt6 REQUIRED COMPONENTS Widgets)\n' > "$tree/src/dialogs/CMakeLists.txt"
expect 1 'src/dialogs/CMakeLists.txt:1: links Qt below the Qt dialog backend (layer dialogs)'
rm -r "$tree/src/dialogs" "$tree/src/qtdialogs"

mkdir -p "$tree/src/gadgets" && touch "$tree/src/gadgets/x.cpp"
expect 1 "src/gadgets/x.cpp: folder is not in the layer table"

[ "$fails" -eq 0 ] && echo "check_layers_test: all cases passed"
exit "$fails"
