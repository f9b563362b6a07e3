#!/usr/bin/env bash
# Signs shipped files in place (programs, components, the setup program, the
# Windows Installer package) with osslsigncode when the build is given a
# certificate and its key, and leaves them unsigned otherwise, taking off a
# signature an earlier build put on:
#   VENDROLIX_SIGN_CERT           the code-signing certificate, PEM or DER,
#                                 with its chain
#   VENDROLIX_SIGN_KEY            its private key, PEM or DER
#   VENDROLIX_SIGN_PASSWORD_FILE  optional: a file holding the key's password
#   VENDROLIX_SIGN_TIMESTAMP_URL  optional: an RFC 3161 time-stamping server,
#                                 so that signatures outlive the certificate
#
#   sign.sh FILE...
# Exit code 0 when every file is signed (or unsigned, without a certificate).
set -u

cert=${VENDROLIX_SIGN_CERT:-}
key=${VENDROLIX_SIGN_KEY:-}
if { [ -n "$cert" ] && [ -z "$key" ]; } || { [ -z "$cert" ] && [ -n "$key" ]; }; then
  # Half a configuration is a mistake, not a wish for unsigned files.
  echo "sign.sh: VENDROLIX_SIGN_CERT and VENDROLIX_SIGN_KEY go together" >&2
  exit 1
fi

# Whether the file carries a signature (osslsigncode writes no file it
# finds already there).
signed() {
  local scratch rc
  scratch=$(mktemp -d) || return 1
  osslsigncode extract-signature -in "$1" -out "$scratch/signature" >/dev/null 2>&1
  rc=$?
  rm -rf "$scratch"
  return $rc
}

# Replaces FILE by the result of a command writing to "$FILE.signing", keeping
# the file's own mode.
rewrite() { # file command...
  local file=$1
  shift
  rm -f "$file.signing"
  if ! "$@" -in "$file" -out "$file.signing" >"$file.signing.log" 2>&1; then
    cat "$file.signing.log" >&2
    rm -f "$file.signing" "$file.signing.log"
    return 1
  fi
  cat "$file.signing" >"$file" && rm -f "$file.signing" "$file.signing.log"
}

status=0
for file in "$@"; do
  if [ ! -f "$file" ]; then
    echo "sign.sh: no $file" >&2
    status=1
    continue
  fi
  if [ -z "$cert" ]; then
    if signed "$file"; then
      rewrite "$file" osslsigncode remove-signature || { echo "sign.sh: could not unsign $file" >&2; status=1; }
    fi
    continue
  fi
  options=(-certs "$cert" -key "$key" -h sha256 -n Vendrolix)
  [ -n "${VENDROLIX_SIGN_PASSWORD_FILE:-}" ] && options+=(-readpass "$VENDROLIX_SIGN_PASSWORD_FILE")
  [ -n "${VENDROLIX_SIGN_TIMESTAMP_URL:-}" ] && options+=(-ts "$VENDROLIX_SIGN_TIMESTAMP_URL")
  # Signing a signed file replaces its signature.
  rewrite "$file" osslsigncode sign "${options[@]}" || { echo "sign.sh: could not sign $file" >&2; status=1; }
done
exit $status
