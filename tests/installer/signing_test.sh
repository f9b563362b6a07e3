#!/usr/bin/env bash
# A build signed with a throwaway certificate: the build's own packaging
# (installer/package.sh) runs over a copy of the dist folders with a
# certificate made here. Every shipped file must then verify against that
# certificate and fail against another one, the package must hold the signed
# files, a key behind a password must sign too, half a configuration must
# fail the build, and the same packaging without a certificate must leave
# every file unsigned.
#   signing_test.sh DIST32 DIST64 VERSION PACKAGE-COMMAND...
set -u
dist32=$1 dist64=$2 version=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

certificate() { # folder common-name [password-file]
  local encrypt=(-nodes)
  [ -n "${3:-}" ] && encrypt=(-passout "file:$3")
  mkdir -p "$1"
  openssl req -x509 -newkey rsa:2048 "${encrypt[@]}" -keyout "$1/key.pem" -out "$1/cert.pem" -days 2 \
    -subj "/CN=$2/O=Tervanic" -addext extendedKeyUsage=codeSigning -addext keyUsage=digitalSignature \
    >/dev/null 2>&1 || { echo "openssl could not make a certificate"; exit 1; }
}
certificate "$work/signer" "Vendrolix test signer"
certificate "$work/other" "Someone else"

cp -r "$dist32" "$work/i686"
cp -r "$dist64" "$work/x86_64"
package_with() { # out-folder package-command...
  local out=$1
  shift
  "$@" --dist32 "$work/i686" --dist64 "$work/x86_64" --out "$out" --work "$out.work" --version "$version" \
    >"$out.log" 2>&1
}

# Every file the build ships, as this run made it.
shipped() { # out-folder
  local name
  for name in VendrolixTray.exe VendrolixPro.exe VendrolixIEDLL.dll CookieCleaner.dll; do
    echo "$work/i686/$name"
    echo "$work/x86_64/$name"
  done
  echo "$work/x86_64/VendrolixSettings.exe"
  echo "$1/VendrolixSetup.exe"
  echo "$1.work/Uninstall.exe"
  echo "$1/VendrolixSetup.msi"
}
verifies() { # file certificate
  osslsigncode verify -CAfile "$2" -in "$1" >/dev/null 2>&1
}
has_signature() { # file
  local scratch=$work/signature.$RANDOM
  osslsigncode extract-signature -in "$1" -out "$scratch" >/dev/null 2>&1
  local rc=$?
  rm -f "$scratch"
  return $rc
}

echo "== signed with a throwaway certificate"
if ! VENDROLIX_SIGN_CERT=$work/signer/cert.pem VENDROLIX_SIGN_KEY=$work/signer/key.pem \
  package_with "$work/signed" "$@"; then
  cat "$work/signed.log"
  fail "packaging with a certificate"
fi
while read -r file; do
  if [ ! -f "$file" ]; then
    fail "not made: $file"
  elif ! verifies "$file" "$work/signer/cert.pem"; then
    fail "not signed by the build's certificate: $file"
  elif verifies "$file" "$work/other/cert.pem"; then
    fail "verifies against another certificate: $file"
  else
    echo "signed: ${file#"$work/"}"
  fi
done < <(shipped "$work/signed")
# The package holds the signed programs and components, not older copies.
mkdir -p "$work/extracted"
if msiextract -C "$work/extracted" "$work/signed/VendrolixSetup.msi" >/dev/null 2>&1; then
  count=0
  while IFS= read -r -d '' file; do
    count=$((count + 1))
    verifies "$file" "$work/signer/cert.pem" || fail "unsigned in the package: ${file#"$work/extracted/"}"
  done < <(find "$work/extracted" -type f \( -iname '*.exe' -o -iname '*.dll' \) -print0)
  [ $count -eq 7 ] || fail "the package holds $count programs and components, not 7"
else
  fail "msiextract could not read the package"
fi

echo "== a key behind a password"
printf 'a throwaway password\n' >"$work/password"
certificate "$work/locked" "Vendrolix locked signer" "$work/password"
cp "$work/x86_64/VendrolixTray.exe" "$work/locked.exe"
VENDROLIX_SIGN_CERT=$work/locked/cert.pem VENDROLIX_SIGN_KEY=$work/locked/key.pem \
  VENDROLIX_SIGN_PASSWORD_FILE=$work/password bash "$(dirname "$0")/../../installer/sign.sh" "$work/locked.exe" \
  >/dev/null 2>&1 || fail "signing with a password-protected key"
verifies "$work/locked.exe" "$work/locked/cert.pem" || fail "not signed with the password-protected key"

echo "== a certificate without its key"
if VENDROLIX_SIGN_CERT=$work/signer/cert.pem package_with "$work/half" "$@"; then
  fail "packaging with a certificate but no key succeeded"
fi

echo "== no certificate"
package_with "$work/unsigned" "$@" || { cat "$work/unsigned.log"; fail "packaging without a certificate"; }
while read -r file; do
  if [ ! -f "$file" ]; then
    fail "not made: $file"
  elif has_signature "$file"; then
    fail "still signed: $file"
  fi
done < <(shipped "$work/unsigned")

if [ $failures -gt 0 ]; then
  echo "$failures failures"
  exit 1
fi
echo "every shipped file signed with the given certificate, and unsigned without one"
