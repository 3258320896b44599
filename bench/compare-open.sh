#!/usr/bin/env bash
# Opening a file, side by side with mediainfo: the median wall time of
# `kestrova-dump FILE` and of `mediainfo FILE` (output discarded), runs
# alternated after a warm-up, and their ratio.
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

now() { date +%s%N; }
ours=() theirs=()
"$dump" "$file" >/dev/null; mediainfo "$file" >/dev/null  # warm-up: both read from the page cache
for _ in $(seq "$runs"); do
  t=$(now); "$dump" "$file" >/dev/null; ours+=($(( $(now) - t )))
  t=$(now); mediainfo "$file" >/dev/null; theirs+=($(( $(now) - t )))
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
a=$(median "${ours[@]}"); b=$(median "${theirs[@]}")
awk -v a="$a" -v b="$b" -v n="$runs" -v f="$file" 'BEGIN {
  printf "%s, %d runs each\nkestrova-dump: %.1f ms (median)\nmediainfo:     %.1f ms (median)\nratio:         %.3f\n",
         f, n, a / 1e6, b / 1e6, a / b }'
