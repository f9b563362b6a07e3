#!/usr/bin/env bash
# The machine set-up against a package registry out of step, with apt-get,
# dpkg and dpkg-query stubbed on PATH: no case touches the machine's real
# packages. Each row: which installs the stub refuses, then what the set-up
# must do.
set -u
script=$1/scripts/setup-machine.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"

# The stubs keep their state in $STATE: the installed packages, one a line,
# and a log of every apt-get call. An install fails when its arguments match
# $REFUSE or do not match $NEED (grep -E), saying what apt says.
cat >"$work/bin/apt-get" <<'STUB'
#!/usr/bin/env bash
echo "$*" >>"$STATE/calls"
if [ "$1" = update ]; then
  n=$(grep -c '^update' "$STATE/calls")
  [ "$n" -gt "${UPDATE_FAILS:-0}" ] && exit 0
  echo "E: Failed to fetch http://mirror/Packages.xz  File has unexpected size (1 != 2). Mirror sync in progress?" >&2
  exit 100
fi
[ "$1" = install ] || exit 0
if { [ -n "${REFUSE:-}" ] && grep -qE -- "$REFUSE" <<<"$*"; } || ! grep -qE -- "${NEED:-.}" <<<"$*"; then
  echo "E: Unable to correct problems, you have held broken packages." >&2
  exit 100
fi
for a in "$@"; do case $a in -*|install|"$2" ) ;; *) echo "$a" >>"$STATE/installed" ;; esac; done
STUB
cat >"$work/bin/dpkg-query" <<'STUB'
#!/usr/bin/env bash
grep -qxF -- "${!#}" "$STATE/installed" 2>/dev/null && printf 'install ok installed'
exit 0
STUB
printf '#!/bin/sh\nexit 0\n' >"$work/bin/dpkg"
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work/bin/"*

failures=0
# name | updates failing | REFUSE | NEED | expected exit | wine32 installed | wine64 installed | output must hold
rows=(
  "update fails, the whole set resolves|3|||0|yes|yes|"
  "update fails once, the base suite's versions resolve|1||-t |0|yes|yes|"
  "no 32-bit Wine can be resolved|3|wine32:i386||0|no|yes|no 32-bit Wine: apt-get could not install wine32:i386 (E: Unable to correct problems, you have held broken packages.; apt-get update: E: Failed to fetch"
  "neither Wine can be resolved|3| wine64 ||1|no|no|E: Unable to correct problems, you have held broken packages."
)
for row in "${rows[@]}"; do
  IFS='|' read -r name updates refuse need rc_want wine32_want wine64_want say <<<"$row"
  state=$work/state
  rm -rf "$state"
  mkdir -p "$state"
  : >"$state/installed"
  rc=0
  out=$(env PATH="$work/bin:$PATH" STATE="$state" UPDATE_FAILS="$updates" REFUSE="$refuse" NEED="$need" \
    VENDROLIX_APT_PAUSE=0 TMPDIR="$state" \
    bash -c 'set -euo pipefail; . "$1"; vendrolix_setup_machine' _ "$script" 2>&1) || rc=$?
  has() { grep -qxF "$1" "$state/installed" && echo yes || echo no; }
  problems=()
  [ "$rc" = "$rc_want" ] || problems+=("exit $rc, wanted $rc_want")
  [ "$(has wine32:i386)" = "$wine32_want" ] || problems+=("wine32 installed: $(has wine32:i386)")
  [ "$(has wine64)" = "$wine64_want" ] || problems+=("wine64 installed: $(has wine64)")
  [ "$rc_want" != 0 ] || [ "$(has cmake)" = yes ] || problems+=("the rest was not installed")
  [ -z "$say" ] || grep -qF -- "$say" <<<"$out" || problems+=("output lacks: $say")
  [ "$(grep -c '^update' "$state/calls")" -le 3 ] || problems+=("more than three updates")
  if [ ${#problems[@]} -eq 0 ]; then
    echo "ok: $name"
  else
    failures=$((failures + 1))
    printf 'FAILED: %s: %s\n--- output:\n%s\n--- apt-get calls:\n%s\n' "$name" "${problems[*]}" "$out" "$(cat "$state/calls")"
  fi
done
exit $((failures > 0))
