# Wine harness shared by the tests and the run command. Source it, then call
# harness_start; harness_stop undoes exactly what harness_start started.
#
#   PELMIX_BUILD   build folder (default: <repo>/build); the Wine prefix lives in it
#   DISPLAY        used as it is when set; otherwise a private Xvfb is started
#
# Nothing is ever stopped by name: only the Xvfb whose pid we hold and the
# wineserver of our own prefix.

harness_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
: "${PELMIX_BUILD:=$harness_top/build}"

export WINEPREFIX=${PELMIX_WINEPREFIX:-$PELMIX_BUILD/wineprefix}
export WINEARCH=win32
export WINEDEBUG=-all
export LANG=ja_JP.UTF-8
export LC_ALL=ja_JP.UTF-8
# No Mono or Gecko prompts while the prefix is made.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

harness_started_xvfb=
harness_started_wineserver=

harness_start() {
  if [ -z "${DISPLAY:-}" ]; then
    local fifo_dir; fifo_dir=$(mktemp -d)
    mkfifo "$fifo_dir/fd"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo_dir/fd" >/dev/null 2>&1 &
    harness_started_xvfb=$!
    local num; read -r num <"$fifo_dir/fd"
    rm -rf "$fifo_dir"
    export DISPLAY=":$num"
    export PELMIX_XVFB_PID=$harness_started_xvfb
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    wineboot --init >/dev/null 2>&1 </dev/null || true
    wineserver -w
  fi
  if [ ! -f "$WINEPREFIX/.pelmix-fonts" ]; then
    # The dialogs ask for the Japanese Windows fonts; without a stand-in of the same
    # metrics Wine picks a wider face and cuts the labels short.
    local face
    for face in "ＭＳ Ｐゴシック" "MS PGothic" "MS UI Gothic"; do
      wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d IPAPGothic /f >/dev/null 2>&1 </dev/null || true
    done
    for face in "ＭＳ ゴシック" "MS Gothic"; do
      wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d IPAGothic /f >/dev/null 2>&1 </dev/null || true
    done
    touch "$WINEPREFIX/.pelmix-fonts"
  fi
  # A persistent server for the session saves a second per Wine start.
  if [ -z "${PELMIX_WINESERVER_UP:-}" ]; then
    wineserver -p >/dev/null 2>&1 </dev/null || true
    # Start Wine's own services now, with no terminal or pipe of ours: a service that
    # inherited a test's output would keep CTest waiting for it until the end.
    wine cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
    harness_started_wineserver=1
    export PELMIX_WINESERVER_UP=1
  fi
}

harness_stop() {
  if [ -n "$harness_started_wineserver" ]; then
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    unset PELMIX_WINESERVER_UP
    harness_started_wineserver=
  fi
  if [ -n "$harness_started_xvfb" ]; then
    kill "$harness_started_xvfb" 2>/dev/null || true
    wait "$harness_started_xvfb" 2>/dev/null || true
    unset DISPLAY PELMIX_XVFB_PID
    harness_started_xvfb=
  fi
}
