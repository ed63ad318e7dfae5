#!/usr/bin/env bash
# The one command that installs, builds and tests everything (README: "Test").
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
export PELMIX_BUILD=${PELMIX_BUILD:-$top/build}

bash "$top/scripts/setup.sh"
bash "$top/scripts/build.sh"

. "$top/scripts/harness.sh"
harness_start
trap harness_stop EXIT
cd "$PELMIX_BUILD"
ctest --output-on-failure -j "${PELMIX_JOBS:-$(nproc)}" "$@"
