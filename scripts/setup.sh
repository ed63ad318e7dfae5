#!/usr/bin/env bash
# Installs everything Pelmix needs to build, run and test, from Debian packages only.
# Safe to run again: installed packages are skipped, and the Windows libraries (x86-64 and
# i686) are built once per machine and kept in /var/cache/pelmix/deps, where every checkout
# (a fresh clone, CI) finds them: building them takes minutes. PELMIX_DEPS puts them elsewhere.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=${PELMIX_BUILD:-$top/build}
deps=${PELMIX_DEPS:-/var/cache/pelmix/deps}
mkdir -p "$deps"
# Two checkouts set up at once must not build into the same folder together.
exec 9>"$deps/.lock"
flock 9

log() { printf '[setup] %s\n' "$*" >&2; }

# gcc-multilib: the tests' fake camera for 32-bit Wine is built with the host's gcc -m32.
# openbox: the window manager on the virtual display (title bars, and dialogs that close
# without Wine waiting for someone to withdraw them).
# ffmpeg: the tests and the benchmark check the daily timelapse video with ffprobe and ffmpeg.
packages=(
  cmake ninja-build make pkg-config dpkg-dev patch
  g++ clang libclang-rt-14-dev
  gcc-multilib
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  nasm
  wine wine64 wine32:i386
  xvfb xdotool x11-utils x11-apps imagemagick openbox
  fonts-ipafont-gothic fonts-ipafont-mincho locales
  googletest libgtest-dev
  libjpeg62-turbo-dev libjpeg-turbo-progs
  python3 python3-pyftpdlib python3-pytest
  vsftpd openssl
  ffmpeg
  openssh-server openssh-client inotify-tools
)

missing_packages() {
  local p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || echo "$p"
  done
}

# The 32-bit packages (wine32:i386) need every "Multi-Arch: same" library they share with
# the 64-bit side in the very same version for both architectures. When the security suite's
# i386 list is half-synced or missing, the amd64 side may already carry a security update
# (libgstreamer-plugins-base1.0-0, say) that no usable i386 list offers, and apt finds no
# solution. Then wine32 and its i386 libraries come from the release's main suite, and
# each shared library whose amd64 version has no i386 twin is taken, for both architectures,
# in the main suite's version (for amd64 a step back from the security update). Nothing else
# changes.
install_i386_from_main_suite() { # package:i386...
  local suite pins
  suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$suite" ] || return 1
  # The "same" libraries these packages need, as installed for amd64 ("name version"), and
  # those of them whose version no i386 list offers.
  local needed offered
  needed=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
             --no-replaces --no-enhances "$@" 2>/dev/null | sed -n 's/^\([^ <][^ ]*\):i386$/\1/p' | sort -u |
           xargs -r dpkg-query -W -f='${Package} ${Version} ${Multi-Arch} ${Architecture}\n' 2>/dev/null |
           awk '$3 == "same" && $4 == "amd64" { print $1, $2 }')
  offered=$(echo "$needed" | awk 'NF { print $1 ":i386" }' | xargs -r apt-cache madison 2>/dev/null |
            awk -F' *[|] *' '{ sub(/^ +/, "", $1); sub(/:i386$/, "", $1); print $1, $2 }')
  pins=$(awk -v suite="$suite" 'NR == FNR { offered[$1 " " $2] = 1; next }
                                NF && !(($1 " " $2) in offered) { print $1 "/" suite, $1 ":i386/" suite }' \
           <(echo "$offered") <(echo "$needed"))
  log "installing $* from $suite${pins:+, with $(echo $pins)}"
  # shellcheck disable=SC2086
  apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends -t "$suite" \
    --allow-downgrades "$@" $pins >/dev/null
}

export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  log "adding the i386 architecture (wine32)"
  dpkg --add-architecture i386
  rm -f "$deps/.apt-updated"
fi
if [ -n "$(missing_packages)" ]; then
  if [ ! -f "$deps/.apt-updated" ] || [ -n "$(find "$deps/.apt-updated" -mmin +600 2>/dev/null)" ]; then
    log "apt-get update"
    # A mirror caught mid-sync fails one index now and then; what the others list is
    # usually enough, and the install below says so plainly when it is not.
    if apt-get -o DPkg::Lock::Timeout=600 update -qq ||
       { sleep 10; apt-get -o DPkg::Lock::Timeout=600 update -qq; }; then
      touch "$deps/.apt-updated"
    else
      log "apt-get update reported errors; going on with the package lists it has"
    fi
  fi
  # shellcheck disable=SC2046
  log "installing: $(missing_packages | tr '\n' ' ')"
  if ! apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends $(missing_packages) >/dev/null; then
    # The i386 lists are the ones a mirror most often has half-synced.
    log "installing again without the 32-bit packages"
    # shellcheck disable=SC2046
    apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends $(missing_packages | grep -v ':i386$') >/dev/null
    if [ -n "$(missing_packages)" ] && ! install_i386_from_main_suite $(missing_packages); then
      # Without wine32 the i686 tree still builds; its tests are then skipped, and the
      # test run says so.
      log "the 32-bit packages could not be installed: the i686 tests will not run here"
    fi
  fi
fi

# Wine takes its ANSI code page from the locale; 932 needs ja_JP.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  log "generating the ja_JP.UTF-8 locale"
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi

# The SFTP tests' login on their own sshd (never the system's): a system user without a
# shell or home, with a password known to the tests (tests/upload/upload_support.py).
if ! id pelmix-sftp >/dev/null 2>&1; then
  log "adding the user pelmix-sftp for the SFTP tests"
  useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin pelmix-sftp
  echo 'pelmix-sftp:pelmix-sftp-test' | chpasswd
fi

# Debian's own source packages, fetched through a source list of our own so that the
# system's package sources stay as they were. The archive addresses are the ones the
# system already uses.
own_apt=$deps/apt
# Debian 13's sources (trixie) come from a list of their own, so that `apt-get source curl`
# keeps giving the system's release.
newer_apt=$deps/apt-trixie
# The system's own package sources as source lists, in the list folder.
write_own_sources() { # list folder
  : > "$1/sources.list"
  if [ -f /etc/apt/sources.list ]; then
    sed -n 's/^[[:space:]]*deb[[:space:]]\+/deb-src /p' /etc/apt/sources.list >> "$1/sources.list"
  fi
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    sed 's/^Types:.*/Types: deb-src/' "$f" > "$1/parts/$(basename "$f")"
  done
  for f in /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    sed -n 's/^[[:space:]]*deb[[:space:]]\+/deb-src /p' "$f" >> "$1/sources.list"
  done
}
# Debian 13's sources from the archive the system uses for its own release.
write_trixie_sources() { # list folder
  local archive
  archive=$(grep -rhoE 'https?://[^ ]+/debian/?( |$)' /etc/apt/sources.list /etc/apt/sources.list.d/ 2>/dev/null |
            grep -v security | head -n 1 | tr -d ' ')
  echo "deb-src ${archive:-http://deb.debian.org/debian} trixie main" > "$1/sources.list"
}
# `apt-get source` through a list folder of our own: its index is fetched once.
apt_source() { # list folder, writer of its sources, what to call the index, package
  local lists=$1 writer=$2 what=$3 name=$4
  mkdir -p "$lists/lists/partial" "$lists/parts" "$deps/src"
  [ -f "$lists/sources.list" ] || "$writer" "$lists"
  local opts=(-o "Dir::Etc::SourceList=$lists/sources.list" -o "Dir::Etc::SourceParts=$lists/parts"
              -o "Dir::State::Lists=$lists/lists" -o "APT::Sandbox::User=root")
  if [ ! -f "$lists/.updated" ]; then
    log "fetching $what source package index"
    apt-get "${opts[@]}" update -qq >/dev/null
    touch "$lists/.updated"
  fi
  log "fetching $what source of $name"
  (cd "$deps/src" && apt-get "${opts[@]}" source -qq "$name" >/dev/null)
}
fetch_source() { # name [trixie] -> unpacked folder on stdout
  local name=$1 dir
  dir=$(find "$deps/src" -maxdepth 1 -type d -name "$name-*" 2>/dev/null | head -n 1)
  if [ -z "$dir" ] && [ "${2:-}" = trixie ]; then
    apt_source "$newer_apt" write_trixie_sources "Debian 13's" "$name"
    dir=$(find "$deps/src" -maxdepth 1 -type d -name "$name-*" | head -n 1)
  fi
  if [ -z "$dir" ]; then
    apt_source "$own_apt" write_own_sources "Debian's" "$name"
    dir=$(find "$deps/src" -maxdepth 1 -type d -name "$name-*" | head -n 1)
  fi
  echo "$dir"
}

# libjpeg-turbo (static, SIMD required) and GoogleTest for each Windows architecture,
# in <deps>/<processor>.
build_windows_deps() { # processor (i686 or x86_64)
  local cpu=$1 toolchain=$top/cmake/mingw-$1.cmake prefix=$deps/$1 src
  if [ ! -f "$prefix/lib/libjpeg.a" ] || [ ! -f "$prefix/bin/cjpeg.exe" ]; then
    src=$(fetch_source libjpeg-turbo)
    log "building libjpeg-turbo for $cpu (static, with SIMD) from $src"
    rm -rf "$deps/build-jpeg-$cpu"
    cmake -S "$src" -B "$deps/build-jpeg-$cpu" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
      -DPELMIX_NO_EMULATOR=ON -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
      -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON -DREQUIRE_SIMD=ON \
      -DWITH_JPEG8=OFF -DCMAKE_SYSTEM_PROCESSOR="$cpu" -Wno-dev >/dev/null
    cmake --build "$deps/build-jpeg-$cpu" >/dev/null
    cmake --install "$deps/build-jpeg-$cpu" >/dev/null
    cp "$deps/build-jpeg-$cpu/cjpeg-static.exe" "$prefix/bin/cjpeg.exe" 2>/dev/null || true
  fi
  if [ ! -f "$prefix/lib/libgtest.a" ]; then
    src=/usr/src/googletest   # Debian's googletest package ships its sources here
    log "building GoogleTest for $cpu from $src"
    rm -rf "$deps/build-gtest-$cpu"
    cmake -S "$src" -B "$deps/build-gtest-$cpu" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
      -DPELMIX_NO_EMULATOR=ON -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
      -DBUILD_GMOCK=ON -Dgtest_disable_pthreads=OFF >/dev/null
    cmake --build "$deps/build-gtest-$cpu" >/dev/null
    cmake --install "$deps/build-gtest-$cpu" >/dev/null
  fi
}

# SFTP for libcurl: libssh2 1.11 (Debian 13's source: rsa-sha2, ECDH/ECDSA and the strict
# key exchange against Terrapin, none of which Debian 12's 1.10 has for our backends) on
# mbedTLS 3.6 (Debian 13's source), both static, in <deps>/<processor>. Why mbedTLS: see
# README, "The upload". Threading on, so that two sessions at once (an upload and the
# connection dialog's test) share its random generator safely.
build_windows_ssh2() { # processor (i686 or x86_64)
  local cpu=$1 toolchain=$top/cmake/mingw-$1.cmake prefix=$deps/$1 src stamp
  stamp=$(declare -f build_windows_ssh2 | sha256sum | cut -c1-16)
  [ -f "$prefix/lib/libssh2.a" ] && [ "$(cat "$deps/build-ssh2-$cpu/.stamp" 2>/dev/null)" = "$stamp" ] && return 0
  src=$(fetch_source mbedtls trixie)
  python3 "$src/scripts/config.py" -f "$src/include/mbedtls/mbedtls_config.h" set MBEDTLS_THREADING_C
  python3 "$src/scripts/config.py" -f "$src/include/mbedtls/mbedtls_config.h" set MBEDTLS_THREADING_PTHREAD
  log "building mbedTLS for $cpu (static) from $src"
  rm -rf "$deps/build-mbedtls-$cpu"
  cmake -S "$src" -B "$deps/build-mbedtls-$cpu" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DPELMIX_NO_EMULATOR=ON -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DENABLE_PROGRAMS=OFF -DENABLE_TESTING=OFF -DUSE_SHARED_MBEDTLS_LIBRARY=OFF \
    -DUSE_STATIC_MBEDTLS_LIBRARY=ON -DMBEDTLS_FATAL_WARNINGS=OFF -DGEN_FILES=OFF \
    -DCMAKE_SYSTEM_PROCESSOR="$cpu" -Wno-dev >/dev/null
  cmake --build "$deps/build-mbedtls-$cpu" >/dev/null
  cmake --install "$deps/build-mbedtls-$cpu" >/dev/null
  src=$(fetch_source libssh2 trixie)
  log "building libssh2 for $cpu (static, mbedTLS) from $src"
  rm -rf "$deps/build-ssh2-$cpu"
  cmake -S "$src" -B "$deps/build-ssh2-$cpu" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DPELMIX_NO_EMULATOR=ON -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF \
    -DCRYPTO_BACKEND=mbedTLS -DMBEDTLS_INCLUDE_DIR="$prefix/include" \
    -DMBEDCRYPTO_LIBRARY="$prefix/lib/libmbedcrypto.a" -DENABLE_ZLIB_COMPRESSION=OFF \
    -DCMAKE_SYSTEM_PROCESSOR="$cpu" -Wno-dev >/dev/null
  cmake --build "$deps/build-ssh2-$cpu" >/dev/null
  cmake --install "$deps/build-ssh2-$cpu" >/dev/null
  echo "$stamp" > "$deps/build-ssh2-$cpu/.stamp"
}

# libcurl for the upload: static, FTP and FTPS, TLS through Windows' own Schannel (no
# OpenSSL, zlib or LDAP to bundle), and SFTP through libssh2 (above). The other protocols are left out to keep the
# build short (CI makes it from scratch), all but HTTP: Debian's patches call a helper of
# http.c from the FTP code, so without it the library does not link. Our own patches
# (scripts/patches) make active-mode FTPS work and the certificate check trustworthy.
build_windows_curl() { # processor (i686 or x86_64)
  local cpu=$1 toolchain=$top/cmake/mingw-$1.cmake prefix=$deps/$1 src off=() stamp
  # Rebuilt when our patches (or this recipe's options) change.
  stamp=$( (cat "$top"/scripts/patches/curl-*.patch; declare -f build_windows_curl build_windows_ssh2) | sha256sum | cut -c1-16)
  [ -f "$prefix/lib/libcurl.a" ] && [ "$(cat "$deps/build-curl-$cpu/.stamp" 2>/dev/null)" = "$stamp" ] && return 0
  src=$(fetch_source curl)
  local patch
  for patch in "$top"/scripts/patches/curl-*.patch; do
    if ! patch -d "$src" -p1 -R -f -s --dry-run < "$patch" >/dev/null 2>&1; then
      log "patching curl: $(basename "$patch")"
      patch -d "$src" -p1 -N -s < "$patch"
    fi
  done
  for p in ALTSVC HSTS COOKIES DICT FILE GOPHER IMAP MQTT POP3 RTSP SMB SMTP TELNET TFTP LDAP LDAPS; do
    off+=("-DCURL_DISABLE_$p=ON")
  done
  log "building libcurl for $cpu (static, FTP/FTPS on Schannel, SFTP on libssh2) from $src"
  rm -rf "$deps/build-curl-$cpu"
  cmake -S "$src" -B "$deps/build-curl-$cpu" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DPELMIX_NO_EMULATOR=ON -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DENABLE_MANUAL=OFF \
    -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_ZLIB=OFF -DCURL_USE_LIBSSH2=ON \
    -DLIBSSH2_INCLUDE_DIR="$prefix/include" -DCMAKE_C_FLAGS=-DLIBSSH2_DISABLE_DEPRECATION \
    -DLIBSSH2_LIBRARY="$prefix/lib/libssh2.a;$prefix/lib/libmbedcrypto.a" \
    -DCURL_USE_LIBSSH=OFF -DUSE_LIBIDN2=OFF -DUSE_NGHTTP2=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF \
    -DCURL_CA_BUNDLE=none -DCURL_CA_PATH=none -DENABLE_UNIX_SOCKETS=OFF "${off[@]}" \
    -DCMAKE_SYSTEM_PROCESSOR="$cpu" -Wno-dev >/dev/null
  cmake --build "$deps/build-curl-$cpu" >/dev/null
  cmake --install "$deps/build-curl-$cpu" >/dev/null
  echo "$stamp" > "$deps/build-curl-$cpu/.stamp"
}

build_windows_deps x86_64
build_windows_deps i686
build_windows_ssh2 x86_64
build_windows_ssh2 i686
build_windows_curl x86_64
build_windows_curl i686
# The upload copy's scaler, stb_image_resize2.h (header only, compiled into the program; SIMD
# and sRGB-correct), from Debian 13's libstb: Debian 12's has only the older scalar one.
# Every tree takes it from <deps>/src.
fetch_source libstb trixie >/dev/null

log "ready"
