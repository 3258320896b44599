#!/usr/bin/env bash
# Runs the fuzz target of build-fuzz/ for SECONDS over a working copy of the
# seeds: samples/ and, when it is there, ../shared/corpus/real (read only, never
# written). A crash, a leak, undefined behaviour, an input slower than the
# timeout or memory past the limit fails the run; the input that did it is kept
# in build-fuzz/crashes/. Seeds past 1 MiB are cut there.
#   bash tests/fuzz/run-fuzz.sh [SECONDS] [more libFuzzer options]
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=${1:-60}
shift || true
fuzz=build-fuzz/tests/fuzz/kestrova_fuzz
if [ ! -x "$fuzz" ]; then
  echo "Build the fuzz target first: $fuzz (see scripts/test.sh)" >&2
  exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/kestrova-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus"
find samples -maxdepth 1 -type f -exec cp {} "$work/corpus/" \;
real=../shared/corpus/real
if [ -d "$real" ]; then
  find "$real" -maxdepth 1 -type f ! -name '*.tsv' -exec cp {} "$work/corpus/" \;
fi
chmod -R u+w "$work/corpus"
artifacts=build-fuzz/crashes
mkdir -p "$artifacts"

echo "fuzzing for ${seconds} s from $(find "$work/corpus" -type f | wc -l) seeds"
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ASAN_OPTIONS=detect_leaks=1 \
  "$fuzz" -max_total_time="$seconds" -max_len=1048576 -rss_limit_mb=2048 -timeout=60 \
  -print_final_stats=1 -artifact_prefix="$artifacts/" "$@" "$work/corpus"
