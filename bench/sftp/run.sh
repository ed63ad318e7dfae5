#!/usr/bin/env bash
# One 200 KB upload over loopback SFTP, login included: pelmix.exe (x86-64, under Wine)
# against OpenSSH's own `sftp -b` doing the same, on the same sshd. Usage: run.sh [runs]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${PELMIX_BUILD:-$top/build}
bash "$top/scripts/build.sh" win64 >/dev/null
export PELMIX_EXE=$build/win64/app/pelmix.exe PELMIX_PROBE=$(find "$build/win64" -name probe.exe | head -n 1)
export PYTHONDONTWRITEBYTECODE=1
exec "$top/scripts/with-harness.sh" win64 /usr/bin/python3 "$top/bench/sftp/sftp_bench.py" "${1:-9}"
