#!/usr/bin/env bash
# A day of pictures (1440 640x480 JPEGs made by ffmpeg) into one Motion-JPEG AVI: Pelmix's
# writer under Wine (timed inside the process, best of the runs) beside `ffmpeg -c copy`
# making the same file from the same JPEGs (best of the runs, the whole command).
# Usage: bench/timelapse/run.sh [runs] [frames]   (after scripts/build.sh)
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${PELMIX_BUILD:-$top/build}
runs=${1:-3}
frames=${2:-1440}
arches=${PELMIX_ARCHES:-$(cat "$build/arches.txt" 2>/dev/null || echo win64)}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ffmpeg -v error -f lavfi -i "testsrc=size=640x480:rate=24" -frames:v "$frames" -q:v 4 "$work/pc%05d.jpg"
echo "$frames pictures, $(du -sm "$work" | cut -f1) MB"
ffmpeg_best=$(python3 - "$work" "$runs" <<'PY'
import subprocess, sys, time
work, runs = sys.argv[1], int(sys.argv[2])
best = None
for _ in range(runs):
    start = time.monotonic()
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-framerate", "24", "-start_number", "1", "-i",
                    work + "/pc%05d.jpg", "-c", "copy", work + "/ffmpeg.avi"], check=True)
    took = time.monotonic() - start
    best = took if best is None else min(best, took)
print("%.3f" % best)
PY
)
echo "ffmpeg -c copy: best $ffmpeg_best s"
for arch in $arches; do
  pelmix_best=$(cd "$work" && "$top/scripts/wine-run.sh" "$arch" "$build/$arch/bench/timelapse/timelapse_bench.exe" \
                  "$runs" 24 pelmix.avi $(cd "$work" && ls pc*.jpg) | tr -d '\r' | sed -n 's/^best //p')
  echo "$arch Pelmix: best $pelmix_best s, $(python3 -c "print('%.2f' % ($pelmix_best / $ffmpeg_best))")x ffmpeg"
done
