#!/usr/bin/env bash
# Runs any command with the Wine harness up (display, prefix, wineserver), then
# stops what was started for it. Used for the Python tests of the real exe.
set -u
. "$(dirname "$0")/harness.sh"
harness_start
trap harness_stop EXIT
"$@"
rc=$?
exit $rc
