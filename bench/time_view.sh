# shellcheck shell=bash
# Sourced by the benchmark scripts that time views of kijunchi-report on one file.
#   time_view WIDTH REPORT "VIEW ARGUMENTS" FILE
# runs REPORT with the view's arguments (split at blanks) and FILE, its output discarded, and
# prints one line: the view left-aligned in WIDTH characters, the exit status, the CPU time
# (user + system) and wall time in seconds and the peak memory in MB, from /usr/bin/time.
time_view() {
  local width=$1 report=$2 view=$3 file=$4 log status user system wall kib cpu
  log=$(mktemp)
  set +e
  # shellcheck disable=SC2086
  /usr/bin/time -f '%U %S %e %M' -o "$log" "$report" $view "$file" > /dev/null 2>&1
  status=$?
  set -e
  read -r user system wall kib < <(tail -1 "$log")
  rm -f "$log"
  cpu=$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.2f", u + s }')
  printf '%-*s exit %d  CPU %7s s  wall %7s s  %6d MB\n' "$width" "$view" "$status" "$cpu" \
    "$wall" $((kib / 1024))
}
