#!/usr/bin/env bash
# Runs any command with the Wine harness of one architecture up (display, prefix,
# wineserver; `wine` on the PATH is that architecture's), then stops what was started
# for it. Used for the Python tests of the real exe.
# Usage: with-harness.sh win64|win32 command [arguments]
set -u
arch=$1; shift
. "$(dirname "$0")/harness.sh"
harness_start "$arch" || exit $?
trap harness_stop EXIT
"$@"
rc=$?
exit $rc
