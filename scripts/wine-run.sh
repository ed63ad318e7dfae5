#!/usr/bin/env bash
# Runs a Windows program under the project's Wine harness and returns its exit code.
# CTest uses this as the emulator for every Win32 test executable.
set -u
. "$(dirname "$0")/harness.sh"
harness_start
trap harness_stop EXIT
wine "$@"
rc=$?
exit $rc
