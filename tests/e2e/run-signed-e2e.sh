#!/usr/bin/env bash
# Signed editions end to end under Wine: a Selvane.exe built with the tests'
# trust key installs an ECF edition signed with selvane-sign (an unsigned text
# file among it), served by the reference server on 127.0.0.1:5975; then an
# executable changed after signing fails its step and places none of the
# step's files; a tampered and an unsigned newer updater are never swapped in
# and nothing restarts; a signed newer updater is swapped in and updates.
#
#   run-signed-e2e.sh --selvane SelvaneSigned.exe --sample DIR --key PRIVATE.pem --work DIR
#                     [--prefix DIR] [--server selvane-update-server] [--signer selvane-sign]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
server=${SELVANE_UPDATE_SERVER:-$root/build/native/selvane-update-server}
signer=$root/build/native/selvane-sign
selvane="" sample="" key="" work="" prefix=""
while [ $# -gt 0 ]; do
  case "$1" in
    --selvane) selvane=$2; shift 2 ;;
    --sample) sample=$2; shift 2 ;;
    --key) key=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --prefix) prefix=$2; shift 2 ;;
    --server) server=$2; shift 2 ;;
    --signer) signer=$2; shift 2 ;;
    *) echo "run-signed-e2e: unknown option $1" >&2; exit 2 ;;
  esac
done
for f in "$selvane" "$key" "$signer"; do
  [ -f "$f" ] || { echo "run-signed-e2e: missing $f (build the native preset for the server and the signer)" >&2; exit 2; }
done
[ -d "$sample/updater" ] || { echo "run-signed-e2e: no sample repository in '$sample'" >&2; exit 2; }

# shellcheck source=../wine/e2e-env.sh
source "$root/tests/wine/e2e-env.sh"
e2e_init e2e-signed "$work" "$server"
e2e_machine "$prefix"
e2e_keep_wineserver

# A run that fails keeps its window with the failure's text until it is
# closed; the screen taken just before shows that text ($work/SHOT-NAME.png).
close_after_failure() {  # close_after_failure SHOT-NAME
  local window
  window=$(e2e_find_window) || return 1
  e2e_close_by_button "$window" "$work/$1.png"
}
stamp() { touch -d "$1" "${@:2}"; }
# The vendor's step before a release is copied to the server.
sign_repo() { "$signer" --key "$key" "$repo" >>"$work/sign.log"; }
update() {  # update PHASE: runs C:\Kavel\ECF\Selvane.exe
  say "starting C:\\Kavel\\ECF\\Selvane.exe ($1)"
  (cd "$ecf" && exec "$WINELOADER" 'C:\Kavel\ECF\Selvane.exe' >"$work/selvane-$1.log" 2>&1) &
}

# --- The signed repository ----------------------------------------------------
rm -rf "$repo"
cp -a "$sample" "$repo"
cp "$selvane" "$repo/updater/Selvane.exe"
printf 'selvane signed e2e served build 1' >>"$repo/updater/Selvane.exe"
sign_repo
find "$repo" -type f -exec touch -d "2024-03-15 10:30:00" {} +
check "the text file stays unsigned" test ! -e "$repo/ECF/leiame.txt.sig"
e2e_start_server

# --- 1. The signed edition installs, with its updater ------------------------
downloads=$drive_c/users/Public/Downloads
mkdir -p "$downloads"
cp "$selvane" "$downloads/Selvane.exe"
say "starting C:\\users\\Public\\Downloads\\Selvane.exe"
(cd "$downloads" && exec "$WINELOADER" 'C:\users\Public\Downloads\Selvane.exe' >"$work/selvane-first.log" 2>&1) &
window=$(e2e_find_window) || { fail "the window of Selvane appeared"; exit 1; }
sleep 2
e2e_click_ecf "$window"
check "the signed installation reached the point-of-sale program" e2e_wait_for_file "$markers/VendraECF.exe.log" 180
check "the installation's updater processes ended" e2e_wait_gone 60
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
check "the signed update reached the point-of-sale program" e2e_wait_for_file "$markers/VendraECF.exe.log" 120
check "the update's updater processes ended" e2e_wait_gone 60
check "the signed newer updater was swapped in" same_bytes "$ecf/Selvane.exe" "$repo/updater/Selvane.exe"
check "the re-signed program arrived" same_bytes "$ecf/VendraECF.exe" "$repo/ECF/VendraECF.exe"
check "the text file arrived with it" same_bytes "$ecf/leiame.txt" "$repo/ECF/leiame.txt"

e2e_finish
