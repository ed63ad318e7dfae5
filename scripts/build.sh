#!/usr/bin/env bash
# Configures and builds the trees under the build folder:
#   win64  pelmix.exe and the Windows tests, x86-64 (MinGW-w64, run under 64-bit Wine)
#   win32  the same for i686 (run under 32-bit Wine)
#   native the platform-neutral code and its tests
#   asan   the same under AddressSanitizer and UBSan (clang, with the fuzz targets)
# Usage: scripts/build.sh [win64|win32|native|asan]...   (default: all four)
#
# Then it writes build/CTestTestfile.cmake, so that one ctest run over every tree that
# can run here ends with one summary. The i686 tests are left out where the host cannot
# execute 32-bit code (a real attempt tells), or where PELMIX_ARCHES (default
# "win64 win32") leaves win32 out; build/skipped.txt then says why, in one line.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
export PELMIX_BUILD=${PELMIX_BUILD:-$top/build}
build=$PELMIX_BUILD
deps=${PELMIX_DEPS:-/var/cache/pelmix/deps}  # as scripts/setup.sh keeps them
jobs=${PELMIX_JOBS:-$(nproc)}
trees=("$@")
[ ${#trees[@]} -gt 0 ] || trees=(win64 win32 native asan)

configure() { # tree, cmake args...
  local tree=$1; shift
  if [ ! -f "$build/$tree/CMakeCache.txt" ]; then
    cmake -S "$top" -B "$build/$tree" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELMIX_DEPS="$deps" "$@" >/dev/null
  fi
}

for tree in "${trees[@]}"; do
  case $tree in
    win64)  configure win64 -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-x86_64.cmake" ;;
    win32)  configure win32 -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" ;;
    native) configure native ;;
    asan)   configure asan -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DPELMIX_SANITIZE=ON ;;
    *) echo "unknown tree: $tree" >&2; exit 2 ;;
  esac
  echo "[build] $tree"
  cmake --build "$build/$tree" -j "$jobs"
done

# Which Windows architectures run their tests here.
. "$top/scripts/harness.sh"
wanted=" ${PELMIX_ARCHES:-win64 win32} "
skipped=
runnable=()
for arch in win64 win32; do
  [ -f "$build/$arch/CTestTestfile.cmake" ] || continue
  if [ "${wanted/ $arch /}" = "$wanted" ]; then
    skipped+="$arch tests not run: PELMIX_ARCHES=\"${PELMIX_ARCHES:-}\" leaves them out."$'\n'
  elif ! why=$(harness_can_run "$arch"); then
    skipped+="$arch tests not run: this host cannot execute them ($why)."$'\n'
  else
    runnable+=("$arch")
  fi
done
printf '%s' "$skipped" > "$build/skipped.txt"
echo "${runnable[*]}" > "$build/arches.txt"
printf '%s' "$skipped" | sed 's/^/[build] /'

{
  echo "# Made by scripts/build.sh: runs the tests of every tree that can run on this host."
  for tree in "${runnable[@]}" native asan; do
    if [ -f "$build/$tree/CTestTestfile.cmake" ]; then echo "subdirs(\"$tree\")"; fi
  done
  # Where both Windows builds run: they must make the same files of the same frame.
  if [ "${#runnable[@]}" -eq 2 ]; then
    cat <<EOT
add_test(both.same_pictures "$top/scripts/with-harness.sh" win64 /usr/bin/python3 -m pytest -q -p no:cacheprovider --basetemp=$build/pytest-same-pictures "$top/tests/e2e/test_both_builds.py")
set_tests_properties(both.same_pictures PROPERTIES TIMEOUT 600 RESOURCE_GROUPS "display_win64:2,display_win32:2" ENVIRONMENT "PELMIX_BUILD=$build;PELMIX_SOURCE_DIR=$top;PYTHONPATH=$top/tests/e2e;PYTHONDONTWRITEBYTECODE=1")
EOT
  fi
} > "$build/CTestTestfile.cmake"

# Each architecture's display as a CTest resource of two slots (cmake/PelmixTesting.cmake):
# ctest --resource-spec-file build/resources.json.
cat > "$build/resources.json" <<'EOT'
{
  "version": {"major": 1, "minor": 0},
  "local": [{
    "display_win64": [{"id": "0", "slots": 2}],
    "display_win32": [{"id": "0", "slots": 2}]
  }]
}
EOT
