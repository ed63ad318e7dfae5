#!/usr/bin/env bash
# Runs a Windows program under the project's Wine harness and returns its exit code.
# Usage: wine-run.sh win64|win32 program.exe [arguments]
# CTest uses this as the emulator for every Windows test executable.
set -u
arch=$1; shift
. "$(dirname "$0")/harness.sh"
harness_start "$arch" || exit $?
trap harness_stop EXIT
wine "$@"
rc=$?
exit $rc
