#!/usr/bin/env bash
# The one command that installs, builds and tests everything (README: "Test").
# PELMIX_ARCHES=win64 runs the path of a host that cannot execute 32-bit code on any host.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
export PELMIX_BUILD=${PELMIX_BUILD:-$top/build}

bash "$top/scripts/setup.sh"
bash "$top/scripts/build.sh"

. "$top/scripts/harness.sh"
# A private display per architecture, so that the two architectures' suites can run side by side.
export PELMIX_OWN_DISPLAYS=1
# shellcheck disable=SC2046
harness_start $(cat "$PELMIX_BUILD/arches.txt")
trap harness_stop EXIT
cd "$PELMIX_BUILD"
rc=0
ctest --output-on-failure --resource-spec-file "$PELMIX_BUILD/resources.json" -j "${PELMIX_JOBS:-$(nproc)}" "$@" || rc=$?
# Said after the summary, so that a reader sees the host, not a pass, left them out.
sed 's/^/[test] /' "$PELMIX_BUILD/skipped.txt"
exit $rc
