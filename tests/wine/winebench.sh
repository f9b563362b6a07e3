#!/usr/bin/env bash
# The Wine bench: a throwaway WoW64 prefix and an Xvfb display inside a build
# tree, shared by every Wine test of that tree.
#
#   winebench.sh --dir DIR setup       fresh prefix (copied from a template made
#                                      once by wineboot) and a display
#   winebench.sh --dir DIR run EXE ... run a Windows program in the prefix
#   winebench.sh --dir DIR shell CMD ..run a shell command with WINEPREFIX,
#                                      DISPLAY and WINE set
#   winebench.sh --dir DIR teardown    stop wineserver and the display
#
# Background processes never keep ctest's output pipes open: Xvfb is detached
# with setsid and its output goes to a log file.
set -u

dir=""
if [ "${1:-}" = "--dir" ]; then
  dir=$2
  shift 2
fi
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
WINE=$(command -v wine || echo /usr/lib/wine/wine)
export WINE

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
    wineboot --init </dev/null >"$dir/wineboot.log" 2>&1 9>&-
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
    exec 9>"$dir/lock"
    flock 9
    start_display || exit 1
    make_template || { echo "winebench: wineboot failed, see $dir/wineboot.log" >&2; exit 1; }
    fresh_prefix
    exec 9>&-
    echo "winebench: prefix $prefix on display $(cat "$dir/display")"
    ;;
  run)
    ensure_ready || exit 1
    export WINEPREFIX="$prefix" DISPLAY="$(cat "$dir/display")"
    exec "$WINE" "$@"
    ;;
  shell)
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
