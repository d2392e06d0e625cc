#!/usr/bin/env bash
# The release as a customer receives it: scripts/release builds both
# executables and signs them with a throw-away certificate made here; each
# signature must verify against that certificate, a copy with one byte
# changed must not, each executable must carry the version resource of the
# one project version (also its manifest's assembly version; the window's
# version line, compiled from the same value, is checked on screen by the
# window tests), and the printed sums must be those of the files.
#
#   tests/release/release_test.sh [WORK_DIR]
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=${1:-$root/build/release-test}
rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)
failures=0
pass() { echo "release-test: ok   $*"; }
fail() { echo "release-test: FAIL $*"; failures=$((failures + 1)); }
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}

# The one project version, as the top CMakeLists.txt declares it.
version=$(sed -n 's/^project(Selvane VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "release-test: no four-part project version" >&2; exit 1; }
commas=${version//./, }  # as the resource compiler writes it back: "1, 0, 0, 0"

openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 2 -subj "/CN=Selvane throw-away test signer/O=Kavel" \
  -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" \
  -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1 || { echo "release-test: openssl req failed" >&2; exit 1; }

if ! "$root/scripts/release" --out "$work/out" --cert "$work/cert.pem" --key "$work/key.pem" >"$work/release.log" 2>&1; then
  cat "$work/release.log"
  echo "release-test: scripts/release failed" >&2
  exit 1
fi

verifies() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$1.verify.log" 2>&1; }
rejected() { ! verifies "$1"; }
# The version resource as the resource compiler of the executable's own
# architecture reads it back into a resource script.
resource_script() {
  local windres=x86_64-w64-mingw32-windres
  [[ $2 = x86 ]] && windres=i686-w64-mingw32-windres
  "$windres" -i "$1" -O rc 2>/dev/null
}
has_value() { grep -q "VALUE \"$2\", \"$3\"" <<<"$1"; }

for a in x64 x86; do
  exe=$work/out/$a/Selvane.exe
  check "$a: Selvane.exe was built" test -s "$exe"
  check "$a: the Authenticode signature verifies against the test certificate" verifies "$exe"
  check "$a: the signature names the test signer" grep -q "Subject: /CN=Selvane throw-away test signer" "$exe.verify.log"
  check "$a: the signature's digest is SHA-256" grep -q "^Message digest algorithm *: SHA256" "$exe.verify.log"
  tampered=$work/$a-tampered.exe
  cp "$exe" "$tampered"
  # One byte of the code changes: the hash no longer matches the signed one.
  offset=$((0x400 + 123))
  printf '\x5a' | dd of="$tampered" bs=1 seek="$offset" conv=notrunc status=none
  check "$a: a changed byte makes the signature fail" rejected "$tampered"

  rc=$(resource_script "$exe" "$a")
  check "$a: file version $version" grep -q "FILEVERSION $commas" <<<"$rc"
  check "$a: product version $version" grep -q "PRODUCTVERSION $commas" <<<"$rc"
  check "$a: product name Selvane" has_value "$rc" ProductName Selvane
  check "$a: company Kavel" has_value "$rc" CompanyName Kavel
  check "$a: file version text $version" has_value "$rc" FileVersion "$version"
  check "$a: product version text $version" has_value "$rc" ProductVersion "$version"
  check "$a: a file description" grep -q 'VALUE "FileDescription", "Selvane' <<<"$rc"
  check "$a: the manifest's assembly version is $version" \
    grep -aq "name=\"Kavel.Selvane\" version=\"$version\"" "$exe"
done
check "the 32-bit executable is a PE32 for i386" grep -q 'PE32 executable.*Intel 80386' <<<"$(file "$work/out/x86/Selvane.exe")"
check "the 64-bit executable is a PE32+ for x86-64" grep -q 'PE32+ executable.*x86-64' <<<"$(file "$work/out/x64/Selvane.exe")"

sums=$(cd "$work/out" && sha256sum x64/Selvane.exe x86/Selvane.exe)
check "the printed SHA-256 sums are the files'" grep -qF "$sums" "$work/release.log"

if ((failures)); then
  echo "release-test: $failures check(s) failed; logs in $work"
  exit 1
fi
echo "release-test: all checks passed"
