#!/usr/bin/env bash
# Checks that the folders of src/ are floors (run by CTest as check_floors):
#
# - no file outside src/gui/ includes a Qt header (<QString>, "QWidget", <QtCore/QString>,
#   <qglobal.h>): the core and the command line, kijunchi-report with it, are plain C++;
# - every include of our own headers ("folder/name.h") stays on its own floor or goes down:
#   a folder includes only from itself and from the floors listed before it below;
# - the window folders of the desktop program are siblings on one floor and include none of
#   each other; they meet only through gui/widgets/ and gui/results/ below them and through the
#   frame (gui/shell/) above them, which creates them and connects their signals;
# - the desktop program never includes the command line (src/cli/), nor the other way round;
#   the one meeting is gui/headless/, kijunchi-pdf, the program kijunchi-report runs for --pdf:
#   it reads the command line's request (cli/pdf_program.h) and draws the document from the
#   core's models with the desktop program's drawing. Nothing includes it.
#
# Every C++ source and header is checked: .h, .hpp, .hh, .cpp, .cc, .cxx.
#
# Usage: scripts/check-floors.sh [ROOT]   (ROOT defaults to the repository holding this script)
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root/src"

# The floors from the bottom up; folders on one line share a floor and must not include each
# other. A new folder of src/ gets a place here.
floors=(
  "analysis"    # the store, values, statistics, number texts, checked arithmetic
  "report"      # the statistics report's pieces and the analysis run that assembles them
  "input"       # paste reading, the grid refresh
  "transform"   # the power transformation
  "generators"  # the random source and the generators
  "evaluation"  # the evaluation of the reference limits, λ̂, the chart models
  "files"       # data files and the saved forms of the report
  "adopted"     # adopted reference intervals: the tables, the uncertainty margins, the verdict
  "study"       # partitions, verification, the batch
  "indirect"    # the indirect method: routine results' extract and the truncated fit
  "record"      # the study file: the record of a study, saved and read back
  "cli"         # kijunchi-report
  "gui/widgets" # the windows' toolkit
  "gui/results" # the result windows and the report document
  "gui/input gui/transform gui/generators gui/evaluation gui/files gui/study"  # the windows
  "gui/shell"   # the frame, start-up, version window, main()
  "gui/headless" # kijunchi-pdf: --pdf's document drawn from the core's models
)

declare -A floor_of
for i in "${!floors[@]}"; do
  for folder in ${floors[$i]}; do floor_of[$folder]=$i; done
done

# The folder of a path below src/: gui/<area> inside the desktop program, else the first part.
folder_of() {
  case $1 in
    gui/*) local rest=${1#gui/}; echo "gui/${rest%%/*}" ;;
    *) echo "${1%%/*}" ;;
  esac
}

failures=0
fail() {
  echo "$1" >&2
  failures=$((failures + 1))
}

while IFS= read -r -d '' file; do
  file=${file#./}
  folder=$(folder_of "$file")
  if [[ -z ${floor_of[$folder]+set} ]]; then
    fail "src/$file: the folder $folder has no floor in scripts/check-floors.sh"
    continue
  fi
  here=${floor_of[$folder]}
  line_number=0
  while IFS= read -r line; do
    line_number=$((line_number + 1))
    [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*([<\"])([^>\"]+) ]] || continue
    kind=${BASH_REMATCH[1]}
    header=${BASH_REMATCH[2]}
    where="src/$file:$line_number"
    # A Qt header, in <> or "": a class header (QString), a module's (QtCore/QString) or an
    # old-style one (qglobal.h).
    if [[ $folder != gui/* && ( $header =~ ^Q || $header =~ ^q[a-z0-9_]*\.h$ ) ]]; then
      fail "$where: includes the Qt header $header outside src/gui/"
      continue
    fi
    [[ $kind == "<" ]] && continue
    [[ $header == */* ]] || continue  # a header beside the file
    target=$(folder_of "$header")
    if [[ ! -e $header ]]; then
      fail "$where: includes \"$header\", which is not a file under src/"
      continue
    fi
    [[ $target == "$folder" ]] && continue
    there=${floor_of[$target]:-}
    if [[ -z $there ]]; then
      fail "$where: includes \"$header\" from $target, which has no floor"
    elif [[ $folder == gui/* && $folder != gui/headless && $target == cli ]]; then
      fail "$where: the desktop program includes the command line (\"$header\")"
    elif ((there > here)); then
      fail "$where: $folder includes \"$header\" from the floor above it ($target)"
    elif ((there == here)); then
      fail "$where: $folder includes \"$header\" from the sibling folder $target"
    fi
  done <"$file"
done < <(find . -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.hh' -o -name '*.cpp' \
                          -o -name '*.cc' -o -name '*.cxx' \) -print0 | sort -z)

if ((failures > 0)); then
  echo "check-floors: $failures include(s) break the floors" >&2
  exit 1
fi
echo "check-floors: every include of src/ keeps to its floor"
