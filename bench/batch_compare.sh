#!/usr/bin/env bash
# The batch before and after, and the R loop of the same figures, on the same files in one run:
# wall and CPU time and peak resident memory of `kijunchi-report --batch` of two builds and of
# bench/batch_loop.R, and whether the two builds' tables are the same byte for byte.
#
#   bash bench/batch_compare.sh BEFORE/kijunchi-report AFTER/kijunchi-report [ANALYTES...]
#
# ANALYTES defaults to 50 100; each file has 5000 rows in two groups. Set SKIP_BEFORE=1000 (a
# list) to leave the build before out for those counts, SKIP_R likewise.
set -euo pipefail
before=$1
after=$2
shift 2
counts=("$@")
[[ ${#counts[@]} -eq 0 ]] && counts=(50 100)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

measure() {  # label, output file, command...
    local label=$1 out=$2
    shift 2
    /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$@" >"$out"
    read -r wall user sys rss <"$work/time"
    printf '%-28s wall %7.2f s  cpu %7.2f s  peak RSS %6.1f MB\n' "$label" "$wall" \
        "$(echo "$user + $sys" | bc)" "$(echo "scale=1; $rss / 1024" | bc)"
}

skipped() {  # list, count
    [[ " ${1:-} " == *" $2 "* ]]
}

for n in "${counts[@]}"; do
    file="$work/batch-$n.csv"
    Rscript "$here/batch_loop.R" --write "$file" "$n" 5000
    echo "== $n analytes × 5000 rows × 2 groups ($(du -h "$file" | cut -f1)B; numbers as doubles:" \
        "$(echo "scale=1; $n * 5000 * 8 / 1048576" | bc) MB)"
    if ! skipped "${SKIP_BEFORE:-}" "$n"; then
        measure "before" "$work/before.tsv" "$before" --batch --group sex "$file"
    fi
    measure "after" "$work/after.tsv" "$after" --batch --group sex "$file"
    measure "after, on one core" "$work/after1.tsv" taskset -c 0 "$after" --batch --group sex "$file"
    if ! skipped "${SKIP_R:-}" "$n"; then
        measure "R loop" "$work/r.tsv" Rscript "$here/batch_loop.R" "$file" sex
    fi
    if ! skipped "${SKIP_BEFORE:-}" "$n"; then
        cmp -s "$work/before.tsv" "$work/after.tsv" && echo "TSV: the same bytes" ||
            echo "TSV: DIFFERENT"
    fi
    cmp -s "$work/after.tsv" "$work/after1.tsv" && echo "TSV, on one core: the same bytes" ||
        echo "TSV, on one core: DIFFERENT"
done
