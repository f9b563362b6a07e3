# Installs what building and testing need, when it is missing. Sourced by
# the project's commands; runs as root on a fresh Debian 12.

vendrolix_packages=(
  cmake make g++ googletest
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools libwine-dev
  wine wine64 wine32:i386 xvfb xauth
  nsis fp-utils clang libclang-rt-14-dev libbenchmark-dev
  wixl wixl-data msitools osslsigncode openssl
)

vendrolix_setup_machine() {
  local missing=()
  local p
  for p in "${vendrolix_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "== installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/tmp/vendrolix-apt.log 2>&1 ||
    { tail -n 40 /tmp/vendrolix-apt.log; return 1; }
}
