#!/usr/bin/env bash
# Looks at every window in a real X session: Xvfb with the openbox window manager, at
# 1280×960 and again with QT_SCALE_FACTOR=1.5. Writes the screenshots of the window tour to
# build-tour/shots/scale-1 and build-tour/shots/scale-1.5; with --docs, also refreshes the
# pictures in docs/ from the first run.
# --screen WxH and --scale "S ..." run the tour on another screen and at other scale factors
# instead, into build-tour/shots/WxH-scale-S (e.g. --screen 1024x768 --scale 1, or
# --screen 1920x1080 --scale 2); they do not go with --docs.
# The sheet question is shown with tests/data/workbook_calcium.xls.
#   bash scripts/screenshots.sh [--docs] [--screen WxH] [--scale "S ..."] [DATA FILE]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
docs=0
screen=1280x960
scales="1 1.5"
custom=0
while [ $# -gt 0 ]; do
  case $1 in
    --docs) docs=1; shift ;;
    --screen) screen=$2; custom=1; shift 2 ;;
    --scale) scales=$2; custom=1; shift 2 ;;
    *) break ;;
  esac
done
if [ "$docs" = 1 ] && [ "$custom" = 1 ]; then
  echo "--docs takes the pictures at the default screen and scales only" >&2
  exit 2
fi
[[ $screen =~ ^[0-9]+x[0-9]+$ ]] || { echo "--screen wants WIDTHxHEIGHT, not $screen" >&2; exit 2; }
data=${1:-$root/tests/data/skewed_25.txt}

"$root/scripts/install-packages.sh"
# Only this script needs a window manager.
missing=()
for p in openbox; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S "$root" -B "$root/build-tour" -DCMAKE_BUILD_TYPE=Release -DKIJUNCHI_TESTS=OFF \
      -DKIJUNCHI_TOUR=ON -DKIJUNCHI_BENCH=ON >/dev/null
cmake --build "$root/build-tour" -j"$(nproc)" --target kijunchi_window_tour kijunchi_indirect_bench
# An extract of routine results for the window of the indirect method.
extract=$root/build-tour/extract.csv
[ -f "$extract" ] || "$root/build-tour/bench/kijunchi_indirect_bench" extract 200000 "$extract"

shots=$root/build-tour/shots
for scale in $scales; do
  out=$shots/scale-$scale
  [ "$custom" = 1 ] && out=$shots/$screen-scale-$scale
  display=:$((70 + RANDOM % 200))
  Xvfb "$display" -screen 0 "${screen}x24" -br -nolisten tcp &
  xvfb=$!
  sleep 1
  DISPLAY=$display openbox &
  wm=$!
  sleep 1
  # Settings of its own: no frame place remembered from another screen or scaling.
  config=$(mktemp -d)
  DISPLAY=$display QT_SCALE_FACTOR=$scale XDG_CONFIG_HOME=$config \
    "$root/build-tour/kijunchi_window_tour" \
    "$out" "$data" "$extract" "$root/tests/data/workbook_calcium.xls" || true
  rm -rf "$config"
  kill "$wm" "$xvfb" 2>/dev/null || true
  wait "$wm" "$xvfb" 2>/dev/null || true
done

if [ "$docs" = 1 ]; then
  from=$shots/scale-1
  cp "$from/analysis-tiled-window.png" "$root/docs/frame-analysis.png"
  cp "$from/startup-window.png" "$root/docs/frame-startup.png"
  cp "$from/transform-window.png" "$root/docs/dialog-box.png"
  cp "$from/normal-generator-window.png" "$root/docs/dialog-nrm.png"
  cp "$from/uniform-generator-window.png" "$root/docs/dialog-itiyou.png"
  cp "$from/indirect-window.png" "$root/docs/indirect-window.png"
  cp "$shots/scale-1.5/indirect-window.png" "$root/docs/indirect-window-1.5.png"
  cp "$from/indirect-adopted.png" "$root/docs/indirect-adopted.png"
  cp "$shots/scale-1.5/indirect-adopted.png" "$root/docs/indirect-adopted-1.5.png"
  # The report's page of the comparison with the JCCLS table, and the page after it.
  # The first such page. Under pipefail and set -e nothing in it may fail: a loop that ended on
  # a page without the line (grep's 1) or a reader that stops early (head -1, grep -q) would end
  # the script before the pictures below.
  page=$(for p in $(seq 1 "$(pdfinfo "$from/report.pdf" | awk '/^Pages/ {print $2}')"); do
    if pdftotext -f "$p" -l "$p" "$from/report.pdf" - | grep "採用中の基準範囲: " >/dev/null; then
      echo "$p"
      break
    fi
  done)
  if [ -n "$page" ]; then
    rm -f "$shots"/adopted-page-*.png "$shots"/adopted-next-*.png
    pdftoppm -r 110 -f "$page" -l "$page" -x 0 -y 96 -W 909 -H 660 -png "$from/report.pdf" \
      "$shots/adopted-page"
    cp "$(ls "$shots"/adopted-page-*.png | head -1)" "$root/docs/indirect-adopted-pdf.png"
    pdftoppm -r 80 -f $((page + 1)) -l $((page + 1)) -png "$from/report.pdf" "$shots/adopted-next"
    cp "$(ls "$shots"/adopted-next-*.png | head -1)" "$root/docs/indirect-adopted-pdf-charts.png"
  fi
  cp "$from/verification-table-window.png" "$root/docs/study-verification-table.png"
  cp "$shots/scale-1.5/verification-table-window.png" "$root/docs/study-verification-table-1.5.png"
  cp "$from/sheet-dialog-window.png" "$root/docs/files-sheet-dialog.png"
  cp "$shots/scale-1.5/sheet-dialog-window.png" "$root/docs/files-sheet-dialog-1.5.png"
  cp "$from/study-header-window.png" "$root/docs/dialog-study-header.png"
  cp "$from/tiled-with-evaluation-scrolled-window.png" "$root/docs/frame-evaluation-tiled.png"
  # The work area holds the maximised evaluation: the frame's part of the screen.
  convert "$from/evaluation-excluded.png" -crop 1042x850+112+44 +repage \
    "$root/docs/evaluation-excluded.png"
fi
echo "Screenshots in $shots"
