#!/usr/bin/env bash
# Configures and builds the three trees under the build folder:
#   win32  pelmix.exe and the Win32 tests (MinGW-w64 i686, run under Wine)
#   native the platform-neutral code and its tests
#   asan   the same under AddressSanitizer and UBSan (clang, with the fuzz targets)
# Usage: scripts/build.sh [win32|native|asan]...   (default: all three)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${PELMIX_BUILD:-$top/build}
deps=${PELMIX_DEPS:-$build/deps}
jobs=${PELMIX_JOBS:-$(nproc)}
trees=("$@")
[ ${#trees[@]} -gt 0 ] || trees=(win32 native asan)

configure() { # tree, cmake args...
  local tree=$1; shift
  if [ ! -f "$build/$tree/CMakeCache.txt" ]; then
    cmake -S "$top" -B "$build/$tree" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELMIX_DEPS="$deps" "$@" >/dev/null
  fi
}

for tree in "${trees[@]}"; do
  case $tree in
    win32)  configure win32 -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" ;;
    native) configure native ;;
    asan)   configure asan -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DPELMIX_SANITIZE=ON ;;
    *) echo "unknown tree: $tree" >&2; exit 2 ;;
  esac
  echo "[build] $tree"
  cmake --build "$build/$tree" -j "$jobs"
done

# One CTest entry point over all trees, so one run ends with one summary.
{
  echo "# Made by scripts/build.sh: runs the tests of every tree."
  for tree in win32 native asan; do
    if [ -f "$build/$tree/CTestTestfile.cmake" ]; then echo "subdirs(\"$tree\")"; fi
  done
} > "$build/CTestTestfile.cmake"
