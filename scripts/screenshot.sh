#!/usr/bin/env bash
# Screenshot of the virtual display that scripts/run.sh started: build/screenshot.png.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${PELMIX_BUILD:-$top/build}
display=${DISPLAY:-$(cat "$build/run-display")}
out=${1:-$build/screenshot.png}
import -display "$display" -window root "$out"
echo "$out"
