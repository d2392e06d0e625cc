#!/usr/bin/env bash
# Signed editions end to end under Wine: a Selvane.exe built with the tests'
# trust key installs an ECF edition signed with selvane-sign (an unsigned text
# file among it), served by the reference server on 127.0.0.1:5975; then an
# executable changed after signing fails its step and places none of the
# step's files; a tampered and an unsigned newer updater are never swapped in
# and nothing restarts; a signed newer updater is swapped in and updates.
#
#   run-signed-e2e.sh --selvane SelvaneSigned.exe --sample DIR --post-close post_close.exe
#                     --key PRIVATE.pem --work DIR [--server selvane-update-server]
#                     [--signer selvane-sign]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
server=${SELVANE_UPDATE_SERVER:-$root/build/native/selvane-update-server}
signer=$root/build/native/selvane-sign
selvane="" sample="" post_close="" key="" work=""
while [ $# -gt 0 ]; do
  case "$1" in
    --selvane) selvane=$2; shift 2 ;;
    --sample) sample=$2; shift 2 ;;
    --post-close) post_close=$2; shift 2 ;;
    --key) key=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --server) server=$2; shift 2 ;;
    --signer) signer=$2; shift 2 ;;
    *) echo "run-signed-e2e: unknown option $1" >&2; exit 2 ;;
  esac
done
for f in "$selvane" "$post_close" "$key" "$server" "$signer"; do
  [ -f "$f" ] || { echo "run-signed-e2e: missing $f (build the native preset for the server and the signer)" >&2; exit 2; }
done
[ -d "$sample/updater" ] || { echo "run-signed-e2e: no sample repository in '$sample'" >&2; exit 2; }

# shellcheck source=../wine/wine-env.sh
source "$root/tests/wine/wine-env.sh"

mkdir -p "$work"
work=$(cd "$work" && pwd)
repo=$work/repo
server_pid=""
failures=0

cleanup() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  wine_cleanup
}
trap cleanup EXIT

say() { echo "e2e-signed: $*"; }
pass() { say "ok   $*"; }
fail() { say "FAIL $*"; failures=$((failures + 1)); }
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
same_bytes() { cmp -s "$1" "$2"; }
port_in_use() { (exec 3<>/dev/tcp/127.0.0.1/5975) 2>/dev/null; }

# Programs of this prefix still running, by image name.
running() {
  local n=0 pid
  for pid in $(pgrep -fi "\\\\$1" || true); do
    if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then n=$((n + 1)); fi
  done
  echo "$n"
}
wait_gone() {  # wait_gone SECONDS: until no updater of this prefix runs
  local t=0
  while [ "$(running Selvane.exe)" -ne 0 ] && [ "$t" -lt $(($1 * 5)) ]; do sleep 0.2; t=$((t + 1)); done
  [ "$(running Selvane.exe)" -eq 0 ]
}
wait_for_file() {  # wait_for_file FILE SECONDS
  local t=0
  while [ ! -s "$1" ] && [ "$t" -lt $(($2 * 5)) ]; do sleep 0.2; t=$((t + 1)); done
  [ -s "$1" ]
}
find_window() {
  local w="" _
  for _ in $(seq 120); do
    w=$(xdotool search --name '^FrmSelvane$' 2>/dev/null | head -n1 || true)
    [ -n "$w" ] && { echo "$w"; return 0; }
    sleep 0.5
  done
  return 1
}
# A run that fails keeps its window with the failure's text until it is
# closed; close requests count only once the worker has ended, so the last
# screen taken before one worked shows that text ($work/SHOT-NAME.png).
close_after_failure() {  # close_after_failure SHOT-NAME
  local t=0
  find_window >/dev/null || return 1
  while [ "$(running Selvane.exe)" -ne 0 ] && [ "$t" -lt 60 ]; do
    wine_screenshot "$work/$1.png" 2>/dev/null || true
    "$WINELOADER" "$post_close" 5 >/dev/null 2>&1 || true
    sleep 1
    t=$((t + 1))
  done
  wait_gone 10
}
stamp() { touch -d "$1" "${@:2}"; }
# The vendor's step before a release is copied to the server.
sign_repo() { "$signer" --key "$key" "$repo" >>"$work/sign.log"; }
update() {  # update PHASE: runs C:\Kavel\ECF\Selvane.exe
  say "starting C:\\Kavel\\ECF\\Selvane.exe ($1)"
  (cd "$ecf" && exec "$WINELOADER" 'C:\Kavel\ECF\Selvane.exe' >"$work/selvane-$1.log" 2>&1) &
}

wine_env_init "$work/prefix"
wine_start_xvfb || exit 1
wine_prefix_ensure || { echo "run-signed-e2e: cannot prepare the Wine prefix" >&2; exit 1; }
"$WINESERVER" -k 2>/dev/null || true
drive_c=$(wine_drive_c)
rm -rf "$drive_c/Kavel" "$drive_c/windows/kvl" "$drive_c/selvane-e2e"
markers=$drive_c/selvane-e2e
ecf=$drive_c/Kavel/ECF

# --- The signed repository ----------------------------------------------------
rm -rf "$repo"
cp -a "$sample" "$repo"
cp "$selvane" "$repo/updater/Selvane.exe"
printf 'selvane signed e2e served build 1' >>"$repo/updater/Selvane.exe"
sign_repo
find "$repo" -type f -exec touch -d "2024-03-15 10:30:00" {} +
check "the text file stays unsigned" test ! -e "$repo/ECF/leiame.txt.sig"
if port_in_use; then echo "run-signed-e2e: port 5975 is in use" >&2; exit 1; fi
"$server" --root "$repo" --port 5975 >"$work/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 100); do port_in_use && break; sleep 0.1; done
port_in_use || { echo "run-signed-e2e: the update server did not start" >&2; cat "$work/server.log" >&2; exit 1; }

# --- 1. The signed edition installs, with its updater ------------------------
downloads=$drive_c/users/Public/Downloads
mkdir -p "$downloads"
cp "$selvane" "$downloads/Selvane.exe"
say "starting C:\\users\\Public\\Downloads\\Selvane.exe"
(cd "$downloads" && exec "$WINELOADER" 'C:\users\Public\Downloads\Selvane.exe' >"$work/selvane-first.log" 2>&1) &
window=$(find_window) || { fail "the window of Selvane appeared"; exit 1; }
sleep 2
eval "$(xdotool getwindowgeometry --shell "$window")"
# The ECF tile: KavelPanel1 (8, 0) > Panel1 (4, 144) > Panel2 (63, 57, 113 x 41), at its centre.
xdotool mousemove $((X + 8 + 4 + 63 + 56)) $((Y + 144 + 57 + 20)) click 1
check "the signed installation reached the point-of-sale program" wait_for_file "$markers/VendraECF.exe.log" 180
check "the installation's updater processes ended" wait_gone 60
check "the signed updater was swapped in" same_bytes "$ecf/Selvane.exe" "$repo/updater/Selvane.exe"
check "its signature served only the check" test ! -e "$ecf/Selvane_new.exe.sig"
while IFS= read -r -d '' f; do
  name=${f#"$repo/ECF/"}
  check "ECF\\$name is installed" same_bytes "$ecf/$name" "$f"
done < <(find "$repo/ECF" -maxdepth 1 -type f -print0)
check "the unsigned text file was installed" same_bytes "$ecf/leiame.txt" "$repo/ECF/leiame.txt"

# --- 2. An executable changed after signing fails its step --------------------
cp "$ecf/VendraECF.exe" "$work/VendraECF-installed.exe"
cp "$ecf/leiame.txt" "$work/leiame-installed.txt"
printf 'changed after signing' >>"$repo/ECF/VendraECF.exe"
printf 'Kavel Vendra-ECF, versão 2\r\n' >"$repo/ECF/leiame.txt"
stamp "2024-04-01 09:00:00" "$repo/ECF/VendraECF.exe" "$repo/ECF/leiame.txt"
rm -f "$markers/VendraECF.exe.log"
update tampered-program
check "the run with a changed program ended when closed" close_after_failure tampered-program
check "the installed program was kept" same_bytes "$ecf/VendraECF.exe" "$work/VendraECF-installed.exe"
check "the step's text file was not put in place either" same_bytes "$ecf/leiame.txt" "$work/leiame-installed.txt"
check "no temporary of the step is left" test ! -e "$ecf/~Selvane.tmp"
check "the point-of-sale program was not started" test ! -e "$markers/VendraECF.exe.log"

# --- 3. A tampered and an unsigned newer updater ------------------------------
sign_repo  # the vendor signs the changed program: the next good run brings it
{ cat "$repo/updater/Selvane.exe"; printf ' build 2'; } >"$work/Selvane-2.exe"
cp "$work/Selvane-2.exe" "$repo/updater/Selvane.exe"
sign_repo
printf ' tampered' >>"$repo/updater/Selvane.exe"
find "$repo" \( -name '*.sig' -o -path "$repo/updater/Selvane.exe" \) -exec touch -d "2024-04-01 09:00:00" {} +
cp "$ecf/Selvane.exe" "$work/Selvane-installed.exe"
for phase in tampered-updater unsigned-updater; do
  [ "$phase" = unsigned-updater ] && rm -f "$repo/updater/Selvane.exe.sig"
  update "$phase"
  check "$phase: the run ended when closed" close_after_failure "$phase"
  check "$phase: the running updater stays" same_bytes "$ecf/Selvane.exe" "$work/Selvane-installed.exe"
  check "$phase: nothing was left beside it" test -z "$(find "$ecf" -name 'Selvane_new*' -o -name AtualizaSistema.bat)"
  check "$phase: nothing restarted" test ! -e "$markers/VendraECF.exe.log"
done

# --- 4. The signed newer updater is swapped in and updates --------------------
cp "$work/Selvane-2.exe" "$repo/updater/Selvane.exe"
sign_repo
find "$repo" \( -name '*.sig' -o -path "$repo/updater/Selvane.exe" \) -exec touch -d "2024-04-01 09:00:00" {} +
update signed-updater
check "the signed update reached the point-of-sale program" wait_for_file "$markers/VendraECF.exe.log" 120
check "the update's updater processes ended" wait_gone 60
check "the signed newer updater was swapped in" same_bytes "$ecf/Selvane.exe" "$repo/updater/Selvane.exe"
check "the re-signed program arrived" same_bytes "$ecf/VendraECF.exe" "$repo/ECF/VendraECF.exe"
check "the text file arrived with it" same_bytes "$ecf/leiame.txt" "$repo/ECF/leiame.txt"

if [ "$failures" -ne 0 ]; then
  say "$failures check(s) failed; logs in $work"
  exit 1
fi
say "all checks passed in $SECONDS s"
