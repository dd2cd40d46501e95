#!/bin/bash
# The largest file kijunchi-report reads (256 MB of "1\n", 134,217,728 values) through every
# view: CPU time (user + system), wall time and peak memory of each, from /usr/bin/time.
#   bash bench/big_file.sh build/kijunchi-report [folder for the file, default /tmp]
# The views that keep 5000 values (--column, --verify, the plain report) should stay within
# 64 MB; the batch keeps the column's numbers as doubles (1 GiB), so 1.5 GiB + 64 MB is its mark.
# On a shared machine the CPU time is the steadier figure.
set -euo pipefail
# shellcheck source=bench/time_view.sh
source "$(dirname "$0")/time_view.sh"
report=$(realpath "$1")
folder=${2:-/tmp}
file="$folder/kijunchi-big-file.txt"
if [ ! -f "$file" ] || [ "$(stat -c %s "$file")" != 268435456 ]; then
  python3 -c "
import sys
with open(sys.argv[1], 'wb') as f:
    for _ in range(64):
        f.write(b'1\n' * (134217728 // 64))
" "$file"
fi
for view in "--column 1 --show summary" "--verify 0,2" "--show summary" "--batch"; do
  time_view 28 "$report" "$view" "$file"
done
