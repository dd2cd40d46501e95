#!/usr/bin/env bash
# scripts/check-floors.sh on a made-up tree: each kind of broken include is found where it is,
# in every kind of source file, and a tree that keeps its floors passes.
#   bash tests/check_floors_test.sh scripts/check-floors.sh
set -uo pipefail
check=$(realpath "$1")
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root"/src/{analysis,report,cli,gui/widgets,gui/input,gui/transform}
put() { printf '%s\n' "${@:2}" >"$root/src/$1"; }
put analysis/store.h '#pragma once'
put report/run.h '#pragma once' '#include "analysis/store.h"'
put gui/widgets/prompt.h '#pragma once' '#include <QWidget>'
put cli/main.cpp '#include "report/run.h"'
if ! bash "$check" "$root" >/dev/null 2>&1; then
  echo "a tree that keeps its floors fails" >&2
  exit 1
fi

put analysis/bad.hpp '#include <QString>'          # Qt in the core, in a .hpp
put cli/bad.cc '#include "QWidget"'                 # Qt in quotes, in a .cc
put report/bad.hh '#include <QtCore/QList>'         # a module's Qt header, in a .hh
put report/bad.cxx '#include "qglobal.h"'           # an old-style Qt header
put analysis/up.h '#include "report/run.h"'         # an include up a floor
put gui/input/side.h '#include "gui/transform/x.h"' # a sibling window folder (missing, too)
put gui/transform/x.h '#pragma once'
put gui/input/cli.h '#include "cli/main.cpp"'       # the desktop program includes the command line
output=$(bash "$check" "$root" 2>&1)
status=$?
failures=0
for expected in "src/analysis/bad.hpp:1: includes the Qt header QString" \
                "src/cli/bad.cc:1: includes the Qt header QWidget" \
                "src/report/bad.hh:1: includes the Qt header QtCore/QList" \
                "src/report/bad.cxx:1: includes the Qt header qglobal.h" \
                "src/analysis/up.h:1: analysis includes \"report/run.h\" from the floor above" \
                "src/gui/input/side.h:1: gui/input includes \"gui/transform/x.h\" from the sibling" \
                "src/gui/input/cli.h:1: the desktop program includes the command line"; do
  if [[ $output != *"$expected"* ]]; then
    echo "not found: $expected" >&2
    failures=$((failures + 1))
  fi
done
if ((status == 0)); then
  echo "the broken tree passes" >&2
  failures=$((failures + 1))
fi
((failures == 0)) || { echo "$output" >&2; exit 1; }
echo "check-floors finds every broken include of the made-up tree"
