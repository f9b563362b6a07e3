# Installs what building and testing need, when it is missing. Sourced by
# the project's commands; runs as root on a fresh Debian 12.
#
# A package registry is at times briefly out of step: a mirror in mid-sync
# serves one index of the wrong size, and then the libraries already on the
# machine (from the security suite) have no 32-bit twins of the same
# version, so the 32-bit Wine cannot be resolved. None of that is a fault of
# ours, so the set-up tries again, then takes the base suite's versions for
# that one command, and as a last resort goes on without the 32-bit Wine:
# the commands then run as on a kernel that cannot execute 32-bit programs
# (the i686 Wine tests skipped and counted). Only a machine left without
# something to build or test with ends the command.
#
# VENDROLIX_APT_PAUSE: seconds between two tries of apt-get update (10).

vendrolix_wine32=wine32:i386
vendrolix_packages=(
  cmake make g++ googletest
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools libwine-dev
  wine wine64 "$vendrolix_wine32" xvfb xauth
  nsis fp-utils clang libclang-rt-14-dev libbenchmark-dev
  wixl wixl-data msitools osslsigncode openssl python3
)

vendrolix_setup_machine() {
  local missing=() rest=() p
  for p in "${vendrolix_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" && continue
    missing+=("$p")
    [ "$p" = "$vendrolix_wine32" ] || rest+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "== installing: ${missing[*]}"
  local sudo="" log=${TMPDIR:-/tmp}/vendrolix-apt.log
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  : >"$log"
  if [ ${#rest[@]} -lt ${#missing[@]} ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive

  # A failed update leaves the old lists, or none for one index: the install
  # below may still resolve, so only its own failure counts.
  local try update_error=""
  for try in 1 2 3; do
    if $sudo apt-get update -qq >>"$log" 2>&1; then
      update_error=""
      break
    fi
    update_error=$(grep -m 1 '^E: ' "$log" | cut -c1-200)
    [ $try -eq 3 ] || sleep "${VENDROLIX_APT_PAUSE:-10}"
  done

  # The base suite's versions (APT::Default-Release, for the one command):
  # they exist in every architecture, so the 32-bit twins match.
  local codename
  codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
  vendrolix_apt_install() {
    $sudo apt-get install -y -qq --no-install-recommends "$@" >>"$log" 2>&1 && return 0
    [ -n "$codename" ] || return 1
    $sudo apt-get install -y -qq --no-install-recommends -t "$codename" "$@" >>"$log" 2>&1
  }
  vendrolix_apt_install "${missing[@]}" && return 0
  if [ ${#rest[@]} -lt ${#missing[@]} ]; then
    local why
    why=$(grep '^E: ' "$log" | tail -n 1)
    if vendrolix_apt_install "${rest[@]}"; then
      echo "== no 32-bit Wine: apt-get could not install $vendrolix_wine32 (${why:-no reason given}${update_error:+; apt-get update: $update_error});" \
        "going on as on a machine that cannot run 32-bit programs, the i686 Wine tests are skipped"
      return 0
    fi
  fi
  echo "== apt-get could not install what the build needs; its last lines:"
  tail -n 40 "$log"
  return 1
}
