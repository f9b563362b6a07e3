#!/usr/bin/env bash
# The Wine bench: a throwaway WoW64 prefix and an Xvfb display inside a build
# tree, shared by every Wine test of that tree.
#
#   winebench.sh --dir DIR setup       fresh prefix (copied from a template made
#                                      once by wineboot) and a display
#   winebench.sh --dir DIR run EXE ... run a Windows program in the prefix;
#                                      with VENDROLIX_WINE_FRESH=1 in a fresh
#                                      one, nothing of an earlier run left
#   winebench.sh --dir DIR shell CMD ..run a shell command with WINEPREFIX,
#                                      DISPLAY and WINE set
#   winebench.sh --dir DIR teardown    stop wineserver and the display
#
# Some kernels cannot execute 32-bit x86 programs at all, and 32-bit Windows
# programs under Wine need exactly that. There the bench runs on Wine's
# 64-bit loader alone: a tree of 32-bit tests (--bits 32) sets nothing up and
# each of its tests exits with 77, which CTest reports as skipped; in a 64-bit
# tree a 32-bit program exits with 77 likewise, and the programs run see
# VENDROLIX_WINE_NO32=1 so they can skip what needs a 32-bit peer.
#
# Background processes never keep ctest's output pipes open: Xvfb is detached
# with setsid and its output goes to a log file.
set -u

dir=""
bits=64
while [ $# -gt 0 ]; do
  case "$1" in
    --dir) dir=$2; shift 2 ;;
    --bits) bits=$2; shift 2 ;;
    *) break ;;
  esac
done
[ -n "$dir" ] || { echo "winebench: --dir is required" >&2; exit 2; }
mode=${1:-}
shift || true

mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
template="$dir/template"
prefix="$dir/prefix"

export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer dialogs: the bench needs neither.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
export WINEARCH=win64
readonly kSkipped=77
no32=0
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  no32=1
  export VENDROLIX_WINE_NO32=1
  # Debian's wine script picks the 32-bit loader whenever it is installed,
  # runnable or not: go to the 64-bit loader directly.
  export WINELOADER=/usr/lib/wine/wine64
  WINE=$WINELOADER
else
  WINE=$(command -v wine || echo /usr/lib/wine/wine)
fi
export WINE

skip_32() {
  echo "winebench: skipped, this machine cannot run 32-bit programs" >&2
  exit $kSkipped
}

# 0x14c in the PE header's machine field: a 32-bit x86 program.
is_32bit_program() {
  local file=$1 offset machine
  [ -f "$file" ] || return 1
  offset=$(od -An -t u4 -j 60 -N 4 "$file" 2>/dev/null | tr -d ' ') || return 1
  [ -n "$offset" ] || return 1
  machine=$(od -An -t x2 -j $((offset + 4)) -N 2 "$file" 2>/dev/null | tr -d ' ')
  [ "$machine" = "014c" ]
}

display_alive() {
  local n
  n=$(cat "$dir/display" 2>/dev/null) || return 1
  [ -n "$n" ] || return 1
  [ -e "/tmp/.X11-unix/X${n#:}" ] || return 1
  local pid
  pid=$(cat "$dir/xvfb.pid" 2>/dev/null) || return 1
  kill -0 "$pid" 2>/dev/null
}

start_display() {
  display_alive && return 0
  local n
  for n in $(seq 90 250); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
      setsid Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -ac \
        </dev/null >"$dir/xvfb.log" 2>&1 9>&- &
      echo $! >"$dir/xvfb.pid"
      local i
      for i in $(seq 1 100); do
        if [ -e "/tmp/.X11-unix/X$n" ]; then
          echo ":$n" >"$dir/display"
          return 0
        fi
        kill -0 "$(cat "$dir/xvfb.pid")" 2>/dev/null || break
        sleep 0.1
      done
    fi
  done
  echo "winebench: could not start Xvfb" >&2
  return 1
}

stop_wineserver() {
  if [ -d "$prefix" ]; then
    WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 9>&- || true
    WINEPREFIX="$prefix" wineserver -w >/dev/null 2>&1 9>&- || true
  fi
  if [ -d "$template" ]; then
    WINEPREFIX="$template" wineserver -k >/dev/null 2>&1 9>&- || true
  fi
}

make_template() {
  [ -f "$template/system.reg" ] && return 0
  rm -rf "$template"
  WINEPREFIX="$template" DISPLAY="$(cat "$dir/display")" \
    "$WINE" wineboot --init </dev/null >"$dir/wineboot.log" 2>&1 9>&-
  # Xvfb has no window manager: a managed window waits two seconds for one
  # at every hide or close, which no real desktop does. The browser
  # stand-in's windows are unmanaged, so a closed browser window is gone at
  # once as it is for the tray watching for it; the other programs keep the
  # managed windows their tests were written against.
  WINEPREFIX="$template" DISPLAY="$(cat "$dir/display")" \
    "$WINE" reg add 'HKCU\Software\Wine\AppDefaults\iexplore.exe\X11 Driver' /v Managed /d N /f \
    </dev/null >>"$dir/wineboot.log" 2>&1 9>&-
  WINEPREFIX="$template" wineserver -w >/dev/null 2>&1 9>&- || true
  [ -f "$template/system.reg" ]
}

fresh_prefix() {
  stop_wineserver
  rm -rf "$prefix"
  cp -a "$template" "$prefix"
}

ensure_ready() {
  # Serialised, so concurrent first calls do not race on the prefix.
  exec 9>"$dir/lock"
  flock 9
  start_display || return 1
  if [ ! -f "$prefix/system.reg" ]; then
    make_template || { echo "winebench: wineboot failed, see $dir/wineboot.log" >&2; return 1; }
    fresh_prefix
  fi
  flock -u 9
  exec 9>&-
}

case "$mode" in
  setup)
    if [ $no32 -eq 1 ] && [ "$bits" = 32 ]; then
      echo "winebench: nothing to set up, this machine cannot run 32-bit programs"
      exit 0
    fi
    exec 9>"$dir/lock"
    flock 9
    start_display || exit 1
    make_template || { echo "winebench: wineboot failed, see $dir/wineboot.log" >&2; exit 1; }
    fresh_prefix
    exec 9>&-
    echo "winebench: prefix $prefix on display $(cat "$dir/display")"
    ;;
  run)
    if [ $no32 -eq 1 ] && { [ "$bits" = 32 ] || is_32bit_program "${1:-}"; }; then skip_32; fi
    ensure_ready || exit 1
    if [ "${VENDROLIX_WINE_FRESH:-0}" = 1 ]; then
      unset VENDROLIX_WINE_FRESH
      exec 9>"$dir/lock"
      flock 9
      fresh_prefix
      exec 9>&-
    fi
    export WINEPREFIX="$prefix" DISPLAY="$(cat "$dir/display")"
    exec "$WINE" "$@"
    ;;
  shell)
    if [ $no32 -eq 1 ] && [ "$bits" = 32 ]; then skip_32; fi
    ensure_ready || exit 1
    export WINEPREFIX="$prefix" DISPLAY="$(cat "$dir/display")"
    exec "$@"
    ;;
  teardown)
    stop_wineserver
    if [ -f "$dir/xvfb.pid" ]; then
      kill "$(cat "$dir/xvfb.pid")" 2>/dev/null || true
    fi
    rm -f "$dir/xvfb.pid" "$dir/display"
    ;;
  *)
    echo "usage: winebench.sh --dir DIR setup|run EXE ARGS|shell CMD ARGS|teardown" >&2
    exit 2
    ;;
esac
