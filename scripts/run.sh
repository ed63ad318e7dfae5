#!/usr/bin/env bash
# The one command that installs, builds and launches Pelmix (README: "Run"): the x86-64
# build, under 64-bit Wine, which every host runs.
# Pelmix runs in the folder run/ under the build folder: Pelmix.ini and the pictures go there.
# Without a camera it shows the built-in test picture; without a display it uses a
# virtual one and says how to look at it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
export PELMIX_BUILD=${PELMIX_BUILD:-$top/build}

bash "$top/scripts/setup.sh"
bash "$top/scripts/build.sh" win64 >/dev/null

run_dir=${PELMIX_RUN_DIR:-$PELMIX_BUILD/run}
mkdir -p "$run_dir"

if [ -z "${PELMIX_VIDEO_SOURCE:-}" ] && ! ls /dev/video* >/dev/null 2>&1; then
  export PELMIX_VIDEO_SOURCE=testpattern
  echo "[run] no camera found: showing the built-in test picture"
fi

. "$top/scripts/harness.sh"
virtual=
[ -z "${DISPLAY:-}" ] && virtual=1
harness_start win64
trap harness_stop EXIT
if [ -n "$virtual" ]; then
  echo "$DISPLAY" > "$PELMIX_BUILD/run-display"
  cat <<EOT
[run] no display here: Pelmix runs on the virtual display $DISPLAY.
[run] To see it, take a screenshot from another terminal:
[run]     bash scripts/screenshot.sh            (writes $PELMIX_BUILD/screenshot.png)
[run] or watch it live with a VNC viewer after: apt-get install x11vnc && x11vnc -display $DISPLAY
[run] Stop Pelmix with Ctrl+C here.
EOT
fi
echo "[run] Pelmix.ini and the pictures are in $run_dir"
cd "$run_dir"
wine "$PELMIX_BUILD/win64/app/pelmix.exe"
