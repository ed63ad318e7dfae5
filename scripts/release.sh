#!/usr/bin/env bash
# The release command (README: "Release"): builds pelmix.exe for x86-64 and i686 and writes
#   build/dist/Pelmix-<version>-win64.zip, build/dist/Pelmix-<version>-win32.zip and
#   build/dist/Pelmix-<version>-SHA256SUMS.txt
# Usage: scripts/release.sh [win64|win32]...   (default: both; PELMIX_DIST names another folder)
# Each archive holds one folder Pelmix/ with the exe, the Japanese guide, the licence and the
# notices of every library linked into the exe. The version is project(VERSION) in the
# top-level CMakeLists.txt.
#
# The same commit gives the same bytes in any checkout: no time stamp in the exe
# (--no-insert-timestamp) or in the archive (every entry dated SOURCE_DATE_EPOCH, by default
# the commit's time), no checkout path in the exe (-ffile-prefix-map, symbols stripped),
# entries in a fixed order with fixed attributes.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
export PELMIX_BUILD=${PELMIX_BUILD:-$top/build}
build=$PELMIX_BUILD
deps=${PELMIX_DEPS:-/var/cache/pelmix/deps}
dist=${PELMIX_DIST:-$build/dist}
jobs=${PELMIX_JOBS:-$(nproc)}

log() { printf '[release] %s\n' "$*" >&2; }

bash "$top/scripts/setup.sh"

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$top" log -1 --format=%ct 2>/dev/null || true)
  if [ -z "$SOURCE_DATE_EPOCH" ]; then
    log "not a git checkout: set SOURCE_DATE_EPOCH to date the archives' entries"
    exit 2
  fi
  if [ -n "$(git -C "$top" status --porcelain --untracked-files=no 2>/dev/null)" ]; then
    log "warning: the checkout has uncommitted changes; the archives are not those of the commit"
  fi
fi
export SOURCE_DATE_EPOCH

# Debian's own source packages that setup.sh built the libraries from.
source_dir() { # name -> unpacked source folder
  local dir
  dir=$(find "$deps/src" -maxdepth 1 -type d -name "$1-*" | sort | head -n 1)
  [ -n "$dir" ] || { log "no source of $1 in $deps/src (run scripts/setup.sh)"; exit 1; }
  echo "$dir"
}
source_version() { # unpacked source folder -> Debian version of the source package
  sed -n '1s/^[^(]*(\([^)]*\)).*/\1/p' "$1/debian/changelog"
}
package_version() { dpkg-query -W -f='${Version}' "$1"; }

# One library's part of THIRD-PARTY-NOTICES.txt: a heading, where its texts come from, the texts.
notice() { # title, origin, file...
  local title=$1 origin=$2 file
  shift 2
  printf '%s\n%s\n%s\n\n' "$(printf '=%.0s' {1..78})" "$title" "$origin"
  for file in "$@"; do
    printf -- '--- %s ---\n\n' "$(basename "$file")"
    cat "$file"
    printf '\n'
  done
}

# The notices of one architecture's exe, for the libraries its link map names.
write_notices() { # arch triple map out
  local arch=$1 triple=$2 map=$3 out=$4 jpeg curl ssh2 mbedtls stb mingw_pkg gcc_pkg
  jpeg=$(source_dir libjpeg-turbo)
  curl=$(source_dir curl)
  ssh2=$(source_dir libssh2)
  mbedtls=$(source_dir mbedtls)
  stb=$(source_dir libstb)
  mingw_pkg=mingw-w64-${triple%%-*}-dev
  mingw_pkg=${mingw_pkg//_/-}
  gcc_pkg=gcc-mingw-w64-${triple%%-*}-posix
  gcc_pkg=${gcc_pkg//_/-}
  {
    cat <<EOT
Pelmix $version ($arch): the libraries linked into pelmix.exe
Pelmix $version ($arch) の pelmix.exe に組み込まれているライブラリと、その使用許諾

pelmix.exe is one file that contains the libraries below. Their copyright notices and
licence texts follow, taken from the very Debian packages that this exe was built with.
Pelmix itself is under the MIT License (LICENSE.txt).

EOT
    linked libjpeg && notice "libjpeg-turbo (the JPEG encoder)" \
      "Debian source package libjpeg-turbo $(source_version "$jpeg"). This software is based in part on the work of the Independent JPEG Group." \
      "$jpeg/LICENSE.md" "$jpeg/README.ijg"
    linked libcurl && notice "libcurl (the FTP, FTPS and SFTP client)" \
      "Debian source package curl $(source_version "$curl")" "$curl/COPYING"
    linked libssh2 && notice "libssh2 (the SSH protocol of the SFTP upload)" \
      "Debian source package libssh2 $(source_version "$ssh2")" "$ssh2/COPYING"
    { linked libmbedcrypto || linked libmbedtls || linked libmbedx509; } &&
      notice "Mbed TLS (the cryptography of the SFTP upload)" \
        "Debian source package mbedtls $(source_version "$mbedtls"); offered under Apache-2.0 or GPL-2.0-or-later, used here under the Apache License 2.0" "$mbedtls/LICENSE"
    # A header-only library compiled into the program's own code: no archive in the map.
    if grep -q "stb_image_resize2.h" "$top/image/stb_resize.c" 2>/dev/null; then
      sed -n '/^This software is available under 2 licenses/,/^\*\//p' "$stb/stb_image_resize2.h" |
        sed '$d' > "$tree/stb-licence.txt"
      notice "stb_image_resize2 (the scaler of the upload's smaller copy)" \
        "Debian source package libstb $(source_version "$stb"): the licence at the end of stb_image_resize2.h" \
        "$tree/stb-licence.txt"
    fi
    notice "MinGW-w64 runtime and winpthreads" \
      "Debian package $mingw_pkg $(package_version "$mingw_pkg") (source package mingw-w64): its copyright file" \
      "/usr/share/doc/$mingw_pkg/copyright"
    notice "GCC runtime libraries (libgcc, libstdc++), under the GCC Runtime Library Exception" \
      "Debian package $gcc_pkg $(package_version "$gcc_pkg") (source package gcc-mingw-w64): its copyright file" \
      "/usr/share/doc/$gcc_pkg/copyright"
  } > "$out"
}
linked() { grep -q "/$1\.a(" "$map"; }

# Text for Windows: CRLF line ends, and UTF-8 with a byte order mark, which Notepad from
# Windows 7 on and every browser read as UTF-8.
windows_text() { # in out; @PELMIX_VERSION@ becomes the version
  { printf '\357\273\277'; sed "s/\r\$//; s/@PELMIX_VERSION@/$version/g; s/\$/\r/" "$1"; } > "$2"
}

# Deterministic zip: entries sorted, dated SOURCE_DATE_EPOCH, MS-DOS attributes, names in
# UTF-8 (flagged as such, which Explorer and 7-Zip honour).
make_zip() { # stage_dir out.zip
  python3 - "$1" "$2" <<'EOT'
import os, sys, time, zipfile
stage, out = sys.argv[1], sys.argv[2]
stamp = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), 315532800))[:6]
paths = []
for root, dirs, files in os.walk(stage):
    for name in dirs:
        paths.append(os.path.relpath(os.path.join(root, name), stage) + "/")
    for name in files:
        paths.append(os.path.relpath(os.path.join(root, name), stage))
with zipfile.ZipFile(out + ".tmp", "w") as archive:
    for path in sorted(paths):
        info = zipfile.ZipInfo(path, date_time=stamp)
        info.create_system = 0
        if path.endswith("/"):
            info.external_attr = 0x10
            archive.writestr(info, b"")
        else:
            info.external_attr = 0x20
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(os.path.join(stage, path), "rb") as f:
                archive.writestr(info, f.read(), compresslevel=9)
os.replace(out + ".tmp", out)
EOT
}

arches=("$@")
[ ${#arches[@]} -gt 0 ] || arches=(win64 win32)
mkdir -p "$dist"
version=
built=()
for arch in "${arches[@]}"; do
  case $arch in
    win64) toolchain=$top/cmake/mingw-x86_64.cmake triple=x86_64-w64-mingw32 ;;
    win32) toolchain=$top/cmake/mingw-i686.cmake triple=i686-w64-mingw32 ;;
    *) echo "unknown architecture: $arch (win64 or win32)" >&2; exit 2 ;;
  esac
  tree=$build/release/$arch
  log "building $arch in $tree"
  rm -rf "$tree"
  # The tested build type (RelWithDebInfo: the same code as -O2 without -g), then stripped;
  # the toolchain's own link flags (-static ...) stay as they are.
  cmake -S "$top" -B "$tree" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DPELMIX_DEPS="$deps" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_FLAGS="-ffile-prefix-map=$top=pelmix -ffile-prefix-map=$tree=pelmix-build" \
    -DCMAKE_CXX_FLAGS="-ffile-prefix-map=$top=pelmix -ffile-prefix-map=$tree=pelmix-build" \
    -DCMAKE_EXE_LINKER_FLAGS_RELWITHDEBINFO="-s -Wl,--no-insert-timestamp -Wl,-Map=$tree/pelmix.map" >/dev/null
  cmake --build "$tree" --target pelmix -j "$jobs" >/dev/null
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$tree/CMakeCache.txt")

  stage=$tree/stage
  mkdir -p "$stage/Pelmix"
  cp "$tree/app/pelmix.exe" "$stage/Pelmix/pelmix.exe"
  windows_text "$top/res/release/readme-ja.txt" "$stage/Pelmix/はじめにお読みください.txt"
  windows_text "$top/LICENSE.txt" "$stage/Pelmix/LICENSE.txt"
  map=$tree/pelmix.map
  write_notices "$arch" "$triple" "$map" "$tree/notices.txt"
  windows_text "$tree/notices.txt" "$stage/Pelmix/THIRD-PARTY-NOTICES.txt"
  zip=$dist/Pelmix-$version-$arch.zip
  make_zip "$stage" "$zip"
  built+=("$(basename "$zip")")
  log "wrote $zip"
done

sums=Pelmix-$version-SHA256SUMS.txt
(cd "$dist" && sha256sum "${built[@]}" > "$sums")
log "wrote $dist/$sums"
sed 's/^/[release] /' "$dist/$sums"
