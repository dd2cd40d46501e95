#!/usr/bin/env bash
# Installs the Debian 12 packages Kijunchi needs, only those that are missing.
set -euo pipefail
# Qt Charts' CMake package needs Qt OpenGL's, which qt6-charts-dev does not pull in.
# nlohmann-json writes and reads the study file; libssl-dev's libcrypto gives its SHA-256.
# R with nortest is the cross-check of the normality tests (skipped where missing).
# Workbooks: minizip + pugixml + expat (the sheets, streamed) read .xlsx, FreeXL .xls, libxlsxwriter writes .xlsx; openpyxl
# (Debian's /usr/bin/python3) builds and reads workbooks in the tests. zlib reads gzip extracts.
# sqlite3 runs the documented SQL of the indirect method's summary in its test (skipped where missing).
packages=(cmake g++ make clang libclang-rt-14-dev clang-format qt6-base-dev qt6-translations-l10n
          qt6-charts-dev libqt6opengl6-dev qt6-svg-dev poppler-utils
          fonts-ipafont-gothic libgtest-dev libbenchmark-dev xvfb xauth locales
          r-base-core r-cran-nortest libboost-math-dev
          libminizip-dev libpugixml-dev libexpat1-dev libfreexl-dev libxlsxwriter-dev python3-openpyxl
          nlohmann-json3-dev libssl-dev zlib1g-dev sqlite3)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# A comma-decimal locale for the tests that check that number texts never depend on the locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd sed -i 's/^# *de_DE.UTF-8/de_DE.UTF-8/' /etc/locale.gen
  $sudo_cmd locale-gen >/dev/null
fi
