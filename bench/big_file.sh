#!/bin/bash
# The largest file kijunchi-report reads (256 MB of "1\n", 134,217,728 values) through every
# view: wall time and peak memory of each, from /usr/bin/time -v.
#   bash bench/big_file.sh build/kijunchi-report [folder for the file, default /tmp]
# The views that keep 5000 values (--column, --verify, the plain report) should stay within
# 64 MB; the batch keeps the column's numbers as doubles (1 GiB), so 1.5 GiB + 64 MB is its mark.
set -euo pipefail
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
log=$(mktemp)
for view in "--column 1 --show summary" "--verify 0,2" "--show summary" "--batch"; do
  set +e
  # shellcheck disable=SC2086
  /usr/bin/time -v "$report" $view "$file" > /dev/null 2> "$log"
  status=$?
  set -e
  seconds=$(grep 'Elapsed (wall clock)' "$log" | awk '{print $NF}')
  kib=$(grep 'Maximum resident set size' "$log" | awk '{print $NF}')
  printf '%-28s exit %d  %8s  %6d MB\n' "$view" "$status" "$seconds" $((kib / 1024))
done
rm -f "$log"
