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

# Seeds for boxes neither samples/ nor the corpus hold, made here rather than kept:
# image files from heif-enc, and a hand-made file of item data, ID3 tags and a 3GPP thumbnail.
if command -v heif-enc >/dev/null && command -v ffmpeg >/dev/null; then
  ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=64x48 -frames:v 1 -pix_fmt rgba "$work/seed.png" &&
    heif-enc -q 10 -t 16 "$work/seed.png" -o "$work/corpus/seed.heic" >/dev/null &&
    heif-enc -A -q 10 "$work/seed.png" -o "$work/corpus/seed.avif" >/dev/null || true
  rm -f "$work/seed.png"
fi
hex() { printf '%s' "$1" | od -An -tx1 | tr -d ' \n'; }
box() { printf '%08x%s%s' $(( ${#2} / 2 + 8 )) "$(hex "$1")" "$2"; }
full() { box "$1" "00000000$2"; }
xmp=$(hex '<x:xmpmeta><dc:title>seed</dc:title></x:xmpmeta>')
frames="$(hex TIT2)00000005000003$(hex seed)0000000000"
items="$(full hdlr "00000000$(hex pict)000000000000000000000000")$(full pitm 0001)"
items+="$(full iinf "0002$(box infe "02000000000100006772696400")$(box infe "0200000000020000$(hex mime)00$(hex application/rdf+xml)00")")"
items+="$(box iloc "01000000440000020001000100000001000000000000000800020001000000010000000800$(printf '%06x' $(( ${#xmp} / 2 )))")"
items+="$(box idat "0000000100400030$xmp")"
items+="$(full iref "$(box dimg 000100010001)")"
items+="$(box iprp "$(box ipco "$(full ispe 0000004000000030)")$(full ipma 0000000100010181)")"
tags="$(full hdlr "00000000$(hex ID32)000000000000000000000000")$(full ID32 "15c7$(hex ID3)04000000000014$frames")"
seed="$(box ftyp "$(hex heic)00000000$(hex mif1)")$(full meta "$items")"
seed+="$(box moov "$(box udta "$(full meta "$tags")$(full thmb "00000001ffd8ffe00000ffd9")")")"
printf '%b' "$(printf '%s' "$seed" | sed 's/../\\x&/g')" >"$work/corpus/items-tags.heic"
artifacts=build-fuzz/crashes
mkdir -p "$artifacts"

echo "fuzzing for ${seconds} s from $(find "$work/corpus" -type f | wc -l) seeds"
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ASAN_OPTIONS=detect_leaks=1 \
  "$fuzz" -max_total_time="$seconds" -max_len=1048576 -rss_limit_mb=2048 -timeout=60 \
  -print_final_stats=1 -artifact_prefix="$artifacts/" "$@" "$work/corpus"
