#!/bin/bash
# The start-up cost of kijunchi-report: `--show summary` of three values from standard input,
# run RUNS times (default 50); prints the median and the largest CPU time and peak resident
# memory.
#   bash bench/report_startup.sh build/kijunchi-report [RUNS] [MORE PROGRAMS…]
# Goal: at most 20 ms of CPU and 10 MB resident. Every program named is measured the same way,
# so that a build before a change can be set beside the one after it.
#
# Each run is `/usr/bin/time -f %M PROGRAM …`: time reports the program's peak resident memory
# (a child started by Python directly would be charged Python's own, which the kernel keeps as
# the peak of the process that became the program). The CPU time (user + system, to the
# microsecond) is the kernel's account of time and the program together, so it includes the
# fraction of a millisecond time itself takes.
# Three values are too few for the report's tests: the summary ends with the calculation
# error (exit 1) after the whole run, which is what is timed.
set -euo pipefail
runs=${2:-50}
programs=("$1" "${@:3}")
for program in "${programs[@]}"; do
  python3 - "$(realpath "$program")" "$runs" <<'PY'
import os, statistics, subprocess, sys, tempfile
program, runs = sys.argv[1], int(sys.argv[2])
cpu, rss = [], []
with tempfile.NamedTemporaryFile() as peak:
    for _ in range(runs):
        child = subprocess.Popen(["/usr/bin/time", "-f", "%x %M", "-o", peak.name,
                                  program, "--show", "summary"], stdin=subprocess.PIPE,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        child.stdin.write(b"9.1\n9.4\n9.8\n")
        child.stdin.close()
        _, status, usage = os.wait4(child.pid, 0)
        exit_status, kib = open(peak.name).read().split()[-2:]
        if exit_status not in ("0", "1"):
            sys.exit(f"{program}: exit status {exit_status}")
        cpu.append((usage.ru_utime + usage.ru_stime) * 1000)
        rss.append(int(kib) / 1024)
print(f"{program}: {runs} runs, CPU median {statistics.median(cpu):.1f} ms "
      f"(largest {max(cpu):.1f} ms), peak resident median {statistics.median(rss):.1f} MB "
      f"(largest {max(rss):.1f} MB)")
PY
done
