#!/usr/bin/env bash
# Runs the JPEG export benchmark natively and under Wine, each beside its own cjpeg.
# Usage: bench/jpeg/run.sh [runs]   (after scripts/build.sh native win32)
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${PELMIX_BUILD:-$top/build}
deps=${PELMIX_DEPS:-$build/deps}
runs=${1:-11}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== native"
(cd "$work" && "$build/native/bench/jpeg/jpeg_bench" "$(command -v cjpeg)" "$runs")
echo
echo "== win32 under Wine"
(cd "$work" && "$top/scripts/wine-run.sh" "$build/win32/bench/jpeg/jpeg_bench.exe" "$deps/i686/bin/cjpeg.exe" "$runs")
