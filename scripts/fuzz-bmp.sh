#!/usr/bin/env bash
# Fuzzes LoadBmp (then SaveBmp and SaveJpeg) for the given number of minutes with
# the sanitizer tree's libFuzzer target, starting from tests/image/corpus.
# Usage: scripts/fuzz-bmp.sh MINUTES [extra libFuzzer flags]
# New inputs go to $PELMIX_BUILD/fuzz-bmp/corpus, crashes to $PELMIX_BUILD/fuzz-bmp/artifacts.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${PELMIX_BUILD:-$top/build}
minutes=${1:?usage: fuzz-bmp.sh MINUTES}
shift

bash "$top/scripts/build.sh" asan >/dev/null
fuzzer=$build/asan/tests/image/fuzz_load_bmp
work=$build/fuzz-bmp
mkdir -p "$work/corpus" "$work/artifacts"

# -max_len leaves room for a full colour table and a few rows beyond it.
"$fuzzer" -max_total_time=$((minutes * 60)) -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$@" \
    "$work/corpus" "$top/tests/image/corpus"
