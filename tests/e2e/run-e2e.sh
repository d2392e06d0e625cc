#!/usr/bin/env bash
# End to end under Wine in a virtual display: the reference update server on
# 127.0.0.1:5975 serves the sample edition; Selvane.exe, started from a
# download folder, is clicked on the ECF tile, copies itself into C:\Kavel\ECF\
# through AtualizaSistema.bat, restarts from there and installs the edition;
# then the server publishes a changed file and a newer updater, and the
# updater started from the edition folder swaps itself and updates.
#
#   run-e2e.sh --selvane Selvane.exe --sample DIR --reader shortcut_reader.exe --work DIR
#              [--server selvane-update-server] [--prefix DIR] [--display :N]
#              [--screenshots DIR] [--install-only] [--report]
#
# --prefix uses that Wine prefix (default WORK/prefix); --display uses that X display instead of a private Xvfb; --screenshots saves
# a numbered series of the screen while Selvane works; --report prints what
# was installed. Exit status 0 when every check passed.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
server=${SELVANE_UPDATE_SERVER:-$root/build/native/selvane-update-server}
selvane="" sample="" reader="" work="" prefix="" display="${SELVANE_E2E_DISPLAY:-}" shots="" install_only=0 report=0
while [ $# -gt 0 ]; do
  case "$1" in
    --selvane) selvane=$2; shift 2 ;;
    --sample) sample=$2; shift 2 ;;
    --reader) reader=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --server) server=$2; shift 2 ;;
    --prefix) prefix=$2; shift 2 ;;
    --display) display=$2; shift 2 ;;
    --screenshots) shots=$2; shift 2 ;;
    --install-only) install_only=1; shift ;;
    --report) report=1; shift ;;
    *) echo "run-e2e: unknown option $1" >&2; exit 2 ;;
  esac
done
for f in "$selvane" "$reader"; do
  [ -f "$f" ] || { echo "run-e2e: missing $f" >&2; exit 2; }
done
[ -d "$sample/updater" ] || { echo "run-e2e: no sample repository in '$sample'" >&2; exit 2; }

# shellcheck source=../wine/e2e-env.sh
source "$root/tests/wine/e2e-env.sh"
e2e_init e2e "$work" "$server"
shot_no=0

holds() {  # holds FILE PRINTF-FORMAT: the file's bytes are exactly these
  local expected
  expected=$(mktemp)
  printf "$2" > "$expected"
  cmp -s "$1" "$expected"
  local rc=$?
  rm -f "$expected"
  return $rc
}

shoot() {
  [ -n "$shots" ] || return 0
  shot_no=$((shot_no + 1))
  wine_screenshot "$shots/$(printf %03d "$shot_no")-$1.png" 2>/dev/null || true
}

# --- Wine, display and a clean machine -------------------------------------
e2e_machine "$prefix" "$display"
[ -n "$shots" ] && mkdir -p "$shots"

# --- The server -------------------------------------------------------------
rm -rf "$repo"
cp -a "$sample" "$repo"
# The served updater differs from the started one (bytes after the image, which
# Windows ignores), so a fetched updater and a copied one cannot be mistaken.
printf 'selvane e2e served build 1' >>"$repo/updater/Selvane.exe"
touch -r "$sample/updater/Selvane.exe" "$repo/updater/Selvane.exe"
e2e_start_server
say "update server on 127.0.0.1:5975 serving $repo"

# Waits for a stand-in's log line; takes screenshots meanwhile. The new
# updater deletes AtualizaSistema.bat when it starts, so the batch is copied
# to $seen_batch while it exists.
seen_batch=$work/AtualizaSistema-seen.bat
wait_for_start() {  # wait_for_start LOG SECONDS PHASE
  local log=$1 limit=$2 phase=$3 t=0 batch="$drive_c/Kavel/ECF/AtualizaSistema.bat"
  rm -f "$seen_batch"
  while [ ! -s "$log" ] && [ "$t" -lt $((limit * 5)) ]; do
    if [ -s "$batch" ]; then cp "$batch" "$seen_batch" 2>/dev/null || true; fi
    if [ $((t % 8)) -eq 0 ]; then shoot "$phase"; fi
    sleep 0.2
    t=$((t + 1))
  done
  [ -s "$log" ]
}
started_once() { [ "$(grep -c '^started' "$1")" -eq 1 ]; }
# Waits until every program of the prefix has ended (the batches end the updater).
wait_all_ended() { timeout 120 "$WINESERVER" -w || true; }

# --- 1. First installation from a download folder ---------------------------
downloads=$drive_c/users/Public/Downloads
mkdir -p "$downloads"
cp "$selvane" "$downloads/Selvane.exe"
say "starting C:\\users\\Public\\Downloads\\Selvane.exe"
(cd "$downloads" && exec "$WINELOADER" 'C:\users\Public\Downloads\Selvane.exe' >"$work/selvane-first.log" 2>&1) &
window=$(e2e_find_window) || { fail "the window of Selvane appeared"; exit 1; }
sleep 2  # the edition choice is painted
shoot choice
e2e_click_ecf "$window"
say "clicked the ECF tile"
shoot clicked

if wait_for_start "$markers/VendraECF.exe.log" 180 installing; then
  pass "the point-of-sale stand-in was started"
else
  fail "the point-of-sale stand-in was started"
fi
shoot started
wait_all_ended

check "the server's updater was fetched into C:\\Kavel\\ECF\\" same_bytes "$ecf/Selvane.exe" "$repo/updater/Selvane.exe"
check "the installed updater is not a copy of the started one" not same_bytes "$ecf/Selvane.exe" "$selvane"
check "the point-of-sale stand-in was started once" started_once "$markers/VendraECF.exe.log"
check "AtualizaSistema.bat was the six-line first-copy batch" holds "$seen_batch" \
  'TASKKILL /F /IM "Selvane.exe"\r\ncd C:\\Kavel\\ECF\r\nIF exist Selvane_new.exe ( \r\nren Selvane_new.exe Selvane.exe \r\n)\r\nstart Selvane.exe\r\n'
for dir in ECF KVL; do
  target=$ecf; [ "$dir" = KVL ] && target=$kvl
  while IFS= read -r -d '' f; do
    name=${f#"$repo/$dir/"}
    check "$dir\\$name equals the repository's" same_bytes "$target/$name" "$f"
    check "$dir\\$name carries the repository's time" same_time "$target/$name" "$f"
  done < <(find "$repo/$dir" -maxdepth 1 -type f -print0)
done
for package in rtl260.bpl vcl260.bpl; do
  check "$package was also copied into C:\\Windows\\kvl\\" same_bytes "$kvl/$package" "$repo/ECF/$package"
  check "$package is in the system folder" same_bytes "$sysdir/$package" "$repo/ECF/$package"
done
check "no container or temporary file is left" \
  test -z "$(find "$ecf" "$kvl" -name '*.zip' -o -name '*.~novo' -o -name 'Selvane_new.exe' | head -n1)"
check "IniciarSistema.bat is the five-line second start batch" holds "$ecf/IniciarSistema.bat" \
  'TASKKILL /F /IM "Selvane.exe"\r\ncd "C:\\Kavel\\ECF\r\nServicoVendra.exe /install\r\nnet start ServicoKavel\r\nstart VendraECF.exe\r\n'
check "the service stand-in was installed with /install" grep -qx $'started /install\r' "$markers/ServicoVendra.exe.log"
link_rc=0
link=$("$WINELOADER" "$reader" "Kavel Vendra-ECF" 2>/dev/null) || link_rc=$?
link=$(tr -d '\r' <<<"$link")
check "the desktop link loads as a shell link" test "$link_rc" -eq 0
check "the desktop link points at C:\\Kavel\\ECF\\VendraECF.exe" grep -qx 'Target=C:\\Kavel\\ECF\\VendraECF.exe' <<<"$link"
check "the desktop link works in C:\\Kavel\\ECF\\" grep -qx 'WorkingDirectory=C:\\Kavel\\ECF\\' <<<"$link"
check "the desktop link has no arguments" grep -qx 'Arguments=' <<<"$link"
desktop_links=$(find "$drive_c"/users/*/Desktop -maxdepth 1 -iname 'Kavel*.lnk' -printf '%f\n' 2>/dev/null || true)
check "the desktop link is named Kavel Vendra-ECF.lnk" test "$desktop_links" = 'Kavel Vendra-ECF.lnk'

report_install() {
  echo "Installed in C:\\Kavel\\ECF\\ and C:\\Windows\\kvl\\:"
  (cd "$drive_c" && find Kavel/ECF windows/kvl -maxdepth 1 -type f -printf '%p\t%s\t%TY-%Tm-%Td %TT\n' | sort |
    awk -F'\t' '{ sub(/\.[0-9]+$/, "", $3); sub(/^windows/, "Windows", $1); gsub("/", "\\", $1);
                      printf "  C:\\%-36s %9d bytes  %s\n", $1, $2, $3 }')
  echo "Desktop shortcut:"
  sed 's/^/  /' <<<"$link"
  echo "Programs started by the batches:"
  for f in "$markers"/*.log; do
    [ -f "$f" ] && sed "s/^/  $(basename "$f" .log): /" "$f" | tr -d '\r'
  done
}

if [ "$install_only" = 0 ]; then
  # --- 2. Update: a changed file and a newer updater --------------------------
  printf 'Kavel Vendra-ECF (edição de exemplo), versão 2\r\n' >"$repo/ECF/leiame.txt"
  { cat "$repo/updater/Selvane.exe"; printf 'selvane e2e build 2'; } >"$work/Selvane-2.exe"
  mv "$work/Selvane-2.exe" "$repo/updater/Selvane.exe"
  touch -d "2024-04-01 09:00:00" "$repo/ECF/leiame.txt" "$repo/updater/Selvane.exe"
  rm -f "$markers/VendraECF.exe.log"
  say "the server now publishes a changed leiame.txt and a newer updater"
  say "starting C:\\Kavel\\ECF\\Selvane.exe"
  (cd "$ecf" && exec "$WINELOADER" 'C:\Kavel\ECF\Selvane.exe' >"$work/selvane-update.log" 2>&1) &
  if wait_for_start "$markers/VendraECF.exe.log" 180 updating; then
    pass "the point-of-sale stand-in was started again"
  else
    fail "the point-of-sale stand-in was started again"
  fi
  wait_all_ended
  check "the newer updater replaced C:\\Kavel\\ECF\\Selvane.exe" same_bytes "$ecf/Selvane.exe" "$repo/updater/Selvane.exe"
  check "the newer updater carries the server's time" same_time "$ecf/Selvane.exe" "$repo/updater/Selvane.exe"
  check "the old updater was erased" test ! -e "$ecf/Selvane_old.exe"
  check "the point-of-sale stand-in was started once" started_once "$markers/VendraECF.exe.log"
  check "AtualizaSistema.bat was the ten-line replacement batch" holds "$seen_batch" \
    'TASKKILL /F /IM "Selvane.exe"\r\ncd C:\\Kavel\\ECF\r\nren Selvane.exe Selvane_old.exe\r\nIF exist Selvane_new.exe ( \r\nren Selvane_new.exe Selvane.exe \r\nerase Selvane_old.exe \r\n) ELSE (\r\nren Selvane_old.exe Selvane.exe \r\n)\r\nstart Selvane.exe\r\n'
  check "the changed file arrived (so the new updater ran)" same_bytes "$ecf/leiame.txt" "$repo/ECF/leiame.txt"
  check "the changed file carries its new time" same_time "$ecf/leiame.txt" "$repo/ECF/leiame.txt"
  check "an update writes the three-line start batch" holds "$ecf/IniciarSistema.bat" \
    'TASKKILL /F /IM "Selvane.exe"\r\ncd "C:\\Kavel\\ECF\r\nstart VendraECF.exe\r\n'
  check "the service was installed once, by the installation" started_once "$markers/ServicoVendra.exe.log"
fi

[ "$report" = 1 ] && report_install
e2e_finish
