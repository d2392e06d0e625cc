#!/usr/bin/env bash
# The release as a customer receives it: scripts/release builds both
# executables and signs them with a throw-away certificate made here; each
# signature must verify against that certificate, a copy with one byte
# changed must not, each executable must carry the version resource of the
# one project version (also its manifest's assembly version; the window's
# version line, compiled from the same value, is checked on screen by the
# window tests), and the printed sums must be those of the files. Each
# executable ships stripped, with its symbols in Selvane.exe.debug beside it,
# relocatable and randomised, large address aware, its data not executable.
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
not() { ! "$@"; }
binutil() {  # binutil ARCH TOOL ARGS...: the MinGW binutils of that architecture
  local prefix=x86_64-w64-mingw32-
  [[ $1 = x86 ]] && prefix=i686-w64-mingw32-
  "$prefix$2" "${@:3}"
}
# The names of the image's sections, one a line.
section_names() { binutil "$2" objdump -h "$1" | awk '$1 ~ /^[0-9]+$/ {print $2}'; }
# The flag names listed under a header field of `objdump -p` (Characteristics, DllCharacteristics).
header_flags() { awk -v f="$2" '$1 == f {on = 1; next} on && /^\t/ {gsub(/^[ \t]+/, ""); print; next} {on = 0}' <<<"$1"; }
no_symbols() { binutil "$2" nm "$1" 2>&1 | grep -q 'no symbols'; }
# The checksum a debug link carries: the CRC-32 that gzip also writes at its end.
crc32_of() { gzip -c "$1" | tail -c 8 | head -c 4 | od -An -tx4 | tr -d ' \n'; }
# debug_link_matches EXE ARCH: the link names the symbols file beside EXE and carries its checksum.
debug_link_matches() {
  local link=$work/$2.debuglink
  binutil "$2" objcopy --dump-section ".gnu_debuglink=$link" "$1" "$work/$2.scratch.exe" 2>/dev/null || return 1
  [[ $(head -c -4 "$link" | tr -d '\0') = "$(basename "$1").debug" ]] &&
    [[ $(tail -c 4 "$link" | od -An -tx4 | tr -d ' \n') = "$(crc32_of "$1.debug")" ]]
}
# symbol_in_code EXE ARCH NAME: the symbols file has the function at an address of the executable's code.
symbol_in_code() {
  local at text size vma
  at=$(binutil "$2" nm -C "$1.debug" | awk -v n="$3" '$2 == "T" && index($0, n) {print $1; exit}')
  text=$(binutil "$2" objdump -h "$1" | awk '$2 == ".text" {print $3, $4}')
  [[ -n $at && -n $text ]] || return 1
  read -r size vma <<<"$text"
  (( 0x$at >= 0x$vma && 0x$at < 0x$vma + 0x$size ))
}

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

  sections=$(section_names "$exe" "$a")
  headers=$(binutil "$a" objdump -p "$exe")
  dll=$(header_flags "$headers" DllCharacteristics)
  check "$a: no debug sections in the executable" not grep -q '^\.debug' <<<"$sections"
  check "$a: no symbol table in the executable" no_symbols "$exe" "$a"
  check "$a: relocations kept (.reloc)" grep -qx '\.reloc' <<<"$sections"
  check "$a: a base relocation directory" grep -Eq 'Entry 5 [0-9a-f]+ 0*[1-9a-f][0-9a-f]* Base Relocation Directory' <<<"$headers"
  check "$a: DYNAMIC_BASE (address randomisation)" grep -qx DYNAMIC_BASE <<<"$dll"
  check "$a: NX_COMPAT (data not executable)" grep -qx NX_COMPAT <<<"$dll"
  if [[ $a = x64 ]]; then
    check "$a: HIGH_ENTROPY_VA" grep -qx HIGH_ENTROPY_VA <<<"$dll"
  fi
  check "$a: large address aware" grep -qx 'large address aware' <<<"$(header_flags "$headers" Characteristics)"
  check "$a: the symbols file is beside it" test -s "$exe.debug"
  check "$a: the symbols file holds the debug sections" grep -qx '\.debug_info' <<<"$(section_names "$exe.debug" "$a")"
  check "$a: the debug link names the symbols file and carries its checksum" debug_link_matches "$exe" "$a"
  check "$a: the symbols name the window's code at an address of the executable's code" \
    symbol_in_code "$exe" "$a" 'selvane::TFrmSelvane::FormCreate()'
done
check "the 32-bit executable is a PE32 for i386" grep -q 'PE32 executable.*Intel 80386' <<<"$(file "$work/out/x86/Selvane.exe")"
check "the 64-bit executable is a PE32+ for x86-64" grep -q 'PE32+ executable.*x86-64' <<<"$(file "$work/out/x64/Selvane.exe")"

sums=$(cd "$work/out" && sha256sum x64/Selvane.exe x86/Selvane.exe x64/Selvane.exe.debug x86/Selvane.exe.debug)
check "the printed SHA-256 sums are the files'" grep -qF "$sums" "$work/release.log"

if ((failures)); then
  echo "release-test: $failures check(s) failed; logs in $work"
  exit 1
fi
echo "release-test: all checks passed"
