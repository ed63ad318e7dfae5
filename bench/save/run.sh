#!/usr/bin/env bash
# Runs the save benchmark under Wine in a scratch folder, once for every Windows build that
# runs on this host (build/arches.txt, or PELMIX_ARCHES), one after the other in one run.
# Usage: bench/save/run.sh [runs] [files already in the folder]   (after scripts/build.sh)
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${PELMIX_BUILD:-$top/build}
arches=${PELMIX_ARCHES:-$(cat "$build/arches.txt" 2>/dev/null || echo win64)}
for arch in $arches; do
  echo "== $arch"
  work=$(mktemp -d)
  (cd "$work" && "$top/scripts/wine-run.sh" "$arch" "$build/$arch/bench/save/save_bench.exe" "${1:-15}" "${2:-500}")
  rm -rf "$work"
  echo
done
