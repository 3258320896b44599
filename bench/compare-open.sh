#!/usr/bin/env bash
# Opening a file, side by side with mediainfo: `kestrova-dump FILE` (the
# classic view), `kestrova-dump --full FILE` (the full view) and
# `mediainfo FILE`, output discarded, runs alternated after a warm-up. For each
# the median wall time, the median processor time (user + system, which a busy
# machine disturbs less) and, with /usr/bin/time, the peak memory; each
# view's ratios to mediainfo, and the full view's memory to the classic one's.
#   bash bench/compare-open.sh [FILE] [RUNS]
# Without FILE it takes the two-hour MP4 that the benchmarks make in build-bench/.
set -euo pipefail
cd "$(dirname "$0")/.."

file=${1:-build-bench/bench/files/two-hours.mp4}
runs=${2:-9}
dump=build-bench/tools/kestrova-dump
if [ ! -x "$dump" ] || [ ! -f "$file" ]; then
  echo "Build the benchmarks first (see the README), so that $dump and $file exist." >&2
  exit 2
fi
command -v mediainfo >/dev/null || { echo "mediainfo is not installed (apt-get install mediainfo)" >&2; exit 2; }

# wait4 gives each child's processor time. Its peak memory would count the
# Python that forked it, so /usr/bin/time, a small program, reads that.
python3 - "$file" "$runs" "$dump" <<'EOF'
import os, statistics, subprocess, sys, tempfile, time

path, runs, dump = sys.argv[1], int(sys.argv[2]), sys.argv[3]
commands = {
    "kestrova-dump": [dump, path],
    "kestrova-dump --full": [dump, "--full", path],
    "mediainfo": ["mediainfo", path],
}

timer = "/usr/bin/time" if os.access("/usr/bin/time", os.X_OK) else None
peak_file = tempfile.NamedTemporaryFile(prefix="kestrova-peak-")

def measure(argv):
    if timer:
        argv = [timer, "-f", "%M", "-o", peak_file.name] + argv
    start = time.perf_counter()
    child = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    code = os.waitstatus_to_exitcode(status)
    if code != 0:
        sys.exit(f"{' '.join(argv)} failed with {code}")
    peak = 0.0
    if timer:
        with open(peak_file.name) as f:
            peak = int(f.read().split()[-1]) / 1024
    return wall * 1e3, (usage.ru_utime + usage.ru_stime) * 1e3, peak

results = {name: [] for name in commands}
for argv in commands.values():  # warm-up: all read from the page cache
    measure(argv)
for _ in range(runs):
    for name, argv in commands.items():
        results[name].append(measure(argv))

summary = {}
for name, rows in results.items():
    summary[name] = (statistics.median(r[0] for r in rows), statistics.median(r[1] for r in rows),
                     max(r[2] for r in rows))
wall_mi, cpu_mi, _ = summary["mediainfo"]
print(f"{path}, {runs} runs each (medians; memory is the peak)")
for name, (wall, cpu, mb) in summary.items():
    ratios = "" if name == "mediainfo" else f"   ratio to mediainfo: wall {wall / wall_mi:.3f}, cpu {cpu / cpu_mi:.3f}"
    print(f"{name:21} wall {wall:8.1f} ms   cpu {cpu:8.1f} ms   {mb:6.1f} MB{ratios}")
if timer:
    print(f"full view memory / classic: {summary['kestrova-dump --full'][2] / summary['kestrova-dump'][2]:.2f}")
EOF
