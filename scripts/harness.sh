# Wine harness shared by the tests, the benchmarks and the run command. Source it, then
# call harness_start ARCH...; harness_stop undoes exactly what harness_start started.
#
#   ARCH           win64 (64-bit Wine, the x86-64 build) or win32 (32-bit Wine, the i686
#                  build); each has a loader, a server and a prefix of its own
#   PELMIX_BUILD   build folder (default: <repo>/build); the Wine prefixes live in it
#   DISPLAY        used as it is when set; otherwise a private Xvfb is started, with
#                  a window manager (openbox) on it
#
# After harness_start, `wine`, `wineserver` and `wineboot` on the PATH are those of the last
# architecture started (harness_use switches). Debian's own `wine` script always picks the
# 32-bit loader when wine32 is installed, so the loaders are called by their paths here.
# Nothing is ever stopped by name: only the Xvfb whose pid we hold and the wineservers
# of our own prefixes.

harness_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
: "${PELMIX_BUILD:=$harness_top/build}"

export WINEDEBUG=-all
export LANG=ja_JP.UTF-8
export LC_ALL=ja_JP.UTF-8
# No Mono or Gecko prompts while a prefix is made.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

harness_started_xvfb=        # pids
harness_started_wm=          # pids of the window managers on those displays
harness_started_displays=    # the architectures whose display we started
harness_started_servers=()
harness_base_path=${harness_base_path:-$PATH}

harness_loader() { # arch -> path of its Wine loader
  case $1 in
    win64) echo /usr/lib/wine/wine64 ;;
    win32) echo /usr/lib/wine/wine ;;
    *) echo "harness: unknown architecture '$1' (win64 or win32)" >&2; return 2 ;;
  esac
}

harness_server() { # arch -> path of its wineserver
  case $1 in
    win64) echo /usr/lib/wine/wineserver64 ;;
    win32) echo /usr/lib/wine/wineserver32 ;;
    *) return 2 ;;
  esac
}

# Whether this host really executes 32-bit x86 programs: some kernels have IA-32 emulation
# switched off, and then every i386 program fails with "Exec format error". The 32-bit Wine
# loader itself is started, so the answer comes from the kernel, not from a guess.
# Prints the reason when it cannot.
harness_can_run() { # arch
  local loader out
  loader=$(harness_loader "$1") || return 1
  if [ ! -x "$loader" ]; then
    echo "$loader is not installed"
    return 1
  fi
  if ! out=$(LC_ALL=C LANG=C bash -c 'exec "$0" --version' "$loader" 2>&1 </dev/null) || [ "${out#wine-}" = "$out" ]; then
    echo "$loader --version failed: ${out:-no output}" | head -n 1
    return 1
  fi
  return 0
}

# Points WINEPREFIX, WINELOADER, WINESERVER and the PATH's wine commands at one architecture.
harness_use() { # arch
  local arch=$1 loader server shims
  loader=$(harness_loader "$arch") || return 2
  server=$(harness_server "$arch")
  export PELMIX_ARCH=$arch
  export WINEARCH=$arch
  export WINEPREFIX=$PELMIX_BUILD/wineprefix-$arch
  export WINELOADER=$loader
  export WINESERVER=$server
  shims=$PELMIX_BUILD/wine-bin/$arch
  if [ ! -x "$shims/wineboot" ]; then
    mkdir -p "$shims"
    printf '#!/bin/sh\nexec %s "$@"\n' "$loader" > "$shims/wine"
    printf '#!/bin/sh\nexec %s "$@"\n' "$server" > "$shims/wineserver"
    printf '#!/bin/sh\nexec %s wineboot.exe "$@"\n' "$loader" > "$shims/wineboot"
    chmod +x "$shims/wine" "$shims/wineserver" "$shims/wineboot"
  fi
  export PATH=$shims:$harness_base_path
  local display_var=PELMIX_DISPLAY_$arch
  [ -z "${!display_var:-}" ] || export DISPLAY=${!display_var}
}

# Each architecture gets a display: the one that is set, or a private Xvfb where none is set
# or where PELMIX_OWN_DISPLAYS=1 asks for one per architecture (the test command does, so that
# the two architectures' window tests never meet).
harness_start_display() { # arch
  local var=PELMIX_DISPLAY_$1 fifo_dir num
  [ -n "${!var:-}" ] && return 0
  if [ -n "${DISPLAY:-}" ] && [ -z "${PELMIX_OWN_DISPLAYS:-}" ]; then
    export "$var"="$DISPLAY"
    return 0
  fi
  fifo_dir=$(mktemp -d)
  mkfifo "$fifo_dir/fd"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo_dir/fd" >/dev/null 2>&1 &
  harness_started_xvfb+=" $!"
  harness_started_displays+=" $1"
  read -r num <"$fifo_dir/fd"
  rm -rf "$fifo_dir"
  export "$var"=":$num"
  harness_start_window_manager ":$num"
}

# A window manager on a display of our own, as a user's desktop has one: windows get their
# title bar (the countdown shows there), and a dialog that closes is withdrawn at once
# instead of Wine waiting two seconds for a manager that is not there.
harness_start_window_manager() { # display
  command -v openbox >/dev/null || return 0
  DISPLAY=$1 openbox --sm-disable >/dev/null 2>&1 </dev/null &
  harness_started_wm+=" $!"
  local tries=0
  until DISPLAY=$1 xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
    tries=$((tries + 1))
    [ "$tries" -lt 100 ] || break
    sleep 0.05
  done
}

harness_start_arch() { # arch
  local arch=$1 face up_var
  harness_use "$arch" || return 2
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    wineboot --init >/dev/null 2>&1 </dev/null || true
    wineserver -w
  fi
  if [ ! -f "$WINEPREFIX/.pelmix-fonts" ]; then
    # The dialogs ask for the Japanese Windows fonts; without a stand-in of the same
    # metrics Wine picks a wider face and cuts the labels short.
    for face in "ＭＳ Ｐゴシック" "MS PGothic" "MS UI Gothic"; do
      wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d IPAPGothic /f >/dev/null 2>&1 </dev/null || true
    done
    for face in "ＭＳ ゴシック" "MS Gothic"; do
      wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d IPAGothic /f >/dev/null 2>&1 </dev/null || true
    done
    touch "$WINEPREFIX/.pelmix-fonts"
  fi
  # A persistent server for the session saves a second per Wine start.
  up_var=PELMIX_WINESERVER_UP_$arch
  if [ -z "${!up_var:-}" ]; then
    wineserver -p >/dev/null 2>&1 </dev/null || true
    # Start Wine's own services now, with no terminal or pipe of ours: a service that
    # inherited a test's output would keep CTest waiting for it until the end.
    wine cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
    harness_started_servers+=("$arch")
    export "$up_var"=1
  fi
}

harness_start() { # arch... (default: win64)
  local arch
  [ $# -gt 0 ] || set -- win64
  for arch in "$@"; do
    harness_loader "$arch" >/dev/null || return 2
    harness_start_display "$arch"
    harness_start_arch "$arch" || return $?
  done
}

harness_stop() {
  local arch
  for arch in "${harness_started_servers[@]}"; do
    (
      harness_use "$arch"
      wineserver -k >/dev/null 2>&1 || true
      wineserver -w >/dev/null 2>&1 || true
    )
    unset "PELMIX_WINESERVER_UP_$arch"
  done
  harness_started_servers=()
  local pid
  for pid in $harness_started_wm $harness_started_xvfb; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  for arch in $harness_started_displays; do
    unset "PELMIX_DISPLAY_$arch"
  done
  harness_started_xvfb=
  harness_started_wm=
  harness_started_displays=
}
