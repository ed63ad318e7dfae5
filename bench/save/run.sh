#!/usr/bin/env bash
# Runs the save benchmark under Wine in a scratch folder.
# Usage: bench/save/run.sh [runs] [files already in the folder]   (after scripts/build.sh win32)
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${PELMIX_BUILD:-$top/build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && "$top/scripts/wine-run.sh" "$build/win32/bench/save/save_bench.exe" "${1:-15}" "${2:-500}")
