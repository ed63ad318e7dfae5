#!/usr/bin/env bash
# Runs the JPEG export benchmark natively and under Wine for every Windows build that runs
# on this host (build/arches.txt, or PELMIX_ARCHES), each beside its own cjpeg.
# Usage: bench/jpeg/run.sh [runs]   (after scripts/build.sh)
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${PELMIX_BUILD:-$top/build}
deps=${PELMIX_DEPS:-/var/cache/pelmix/deps}
arches=${PELMIX_ARCHES:-$(cat "$build/arches.txt" 2>/dev/null || echo win64)}
runs=${1:-11}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== native"
(cd "$work" && "$build/native/bench/jpeg/jpeg_bench" "$(command -v cjpeg)" "$runs")
for arch in $arches; do
  case $arch in win64) cpu=x86_64 ;; *) cpu=i686 ;; esac
  echo
  echo "== $arch under Wine"
  (cd "$work" && "$top/scripts/wine-run.sh" "$arch" "$build/$arch/bench/jpeg/jpeg_bench.exe" "$deps/$cpu/bin/cjpeg.exe" "$runs")
done
