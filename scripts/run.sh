#!/usr/bin/env bash
# Builds Kijunchi and starts the desktop program (under Xvfb when there is no display).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-packages.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release -DKIJUNCHI_TESTS=OFF >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target kijunchi kijunchi-report
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: starting under Xvfb."
  exec xvfb-run -a -s "-screen 0 1280x960x24" "$root/build/kijunchi" "$@"
fi
exec "$root/build/kijunchi" "$@"
