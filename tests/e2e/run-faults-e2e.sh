#!/usr/bin/env bash
# Faults end to end under Wine in a virtual display, with the windows-test
# build's short time limits:
#   1. started from a D: drive (a folder mapped in the prefix's dosdevices),
#      the ECF installation completes: the batches act on C:\Kavel\ECF\;
#   2. a server that goes silent in the first remote call: close requests
#      (WM_CLOSE, SC_CLOSE) are held back while the worker waits, the worker
#      gives up by itself, and then the close button ends the program;
#   3. the link dropped during the third file of a step leaves every file of
#      the step as it was and no temporary; a rerun completes the folders,
#      although its records name two targets in other spellings (in other
#      case with an accent, by the 8.3 alias): they arrive whole, nothing else;
#   4. a fetch list naming devices (COM¹, LPT².txt, COM1, CONIN$) fails with
#      the name, before any file is asked for, and no device is opened;
#   5. a newer updater that is noise, and one whose container has no entry:
#      the running updater is neither swapped nor restarted and shows why;
#   6. twenty runs of Selvane.exe, some ending through their start batch, some
#      failing and closed, leave no process behind.
# A failing run stays open for the user; the scenario reads its status line
# (status_text.exe) and closes it with the close button.
#
#   run-faults-e2e.sh --selvane Selvane.exe --sample DIR --post-close post_close.exe
#                     --status-text status_text.exe --short-name short_name.exe --work DIR
#                     [--server selvane-update-server] [--prefix DIR]
# Exit status 0 when every check passed.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
server=${SELVANE_UPDATE_SERVER:-$root/build/native/selvane-update-server}
selvane="" sample="" post_close="" status_text="" short_name="" work="" prefix=""
while [ $# -gt 0 ]; do
  case "$1" in
    --selvane) selvane=$2; shift 2 ;;
    --sample) sample=$2; shift 2 ;;
    --post-close) post_close=$2; shift 2 ;;
    --status-text) status_text=$2; shift 2 ;;
    --short-name) short_name=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --server) server=$2; shift 2 ;;
    --prefix) prefix=$2; shift 2 ;;
    *) echo "run-faults-e2e: unknown option $1" >&2; exit 2 ;;
  esac
done
for f in "$selvane" "$post_close" "$status_text" "$short_name"; do
  [ -f "$f" ] || { echo "run-faults-e2e: missing $f" >&2; exit 2; }
done
[ -d "$sample/updater" ] || { echo "run-faults-e2e: no sample repository in '$sample'" >&2; exit 2; }

# shellcheck source=../wine/e2e-env.sh
source "$root/tests/wine/e2e-env.sh"
e2e_init e2e-faults "$work" "$server"
storm() { "$WINELOADER" "$post_close" 50 >/dev/null 2>&1; }

e2e_machine "$prefix"
e2e_keep_wineserver

rm -rf "$repo"
cp -a "$sample" "$repo"
# A name with an accent, for the other spelling of the target in 3.
printf 'Relatório de vendas, versão 1\r\n' >"$repo/ECF/relatório.txt"
touch -r "$sample/ECF/leiame.txt" "$repo/ECF/relatório.txt"
updater_served=$work/Selvane-served.exe
cp -p "$repo/updater/Selvane.exe" "$updater_served"

status_now() { "$WINELOADER" "$status_text" 2>/dev/null | tr -d '\r' || true; }
# wait_status ERE SECONDS: until the status line matches; its last text is $status.
status=""
wait_status() {
  local end=$((SECONDS + $2))
  status=$(status_now)
  until grep -qE -- "$1" <<<"$status" || [ "$SECONDS" -ge "$end" ]; do
    sleep 0.3
    status=$(status_now)
  done
  say "status line: $status"
  grep -qE -- "$1" <<<"$status"
}
start_updater() {  # start_updater LOG-NAME: C:\Kavel\ECF\Selvane.exe, as the desktop would
  rm -f "$markers/VendraECF.exe.log"
  (cd "$ecf" && exec "$WINELOADER" 'C:\Kavel\ECF\Selvane.exe' >"$work/selvane-$1.log" 2>&1) &
}
names() { (cd "$1" && find . | LC_ALL=C sort); }
same_names() { [ "$(names "$1")" = "$(names "$2")" ]; }
file_calls() { grep -c 'calls TServidor.RetornaArquivo' "$server_log" || true; }
pos_not_started() { [ ! -e "$markers/VendraECF.exe.log" ]; }
# failing_run WHAT ERE TEXT: starts the updater; its status line must come to
# match ERE (TEXT says what that is).
failing_run() {
  start_updater "$1"
  window=$(e2e_find_window) || { fail "the window of Selvane appeared"; exit 1; }
  check "$1: the run fails with $3" wait_status "$2" 30
}
# close_failed_run WHAT: the screenshot of the failure, then the close button.
close_failed_run() {
  wine_screenshot "$work/$1.png" 2>/dev/null || true
  local closed=0
  e2e_close_by_button "$window" && closed=1
  check "$1: the close button then ends the program" test "$closed" = 1
}

# --- 1. Installation started from D: ----------------------------------------
e2e_section "1. Installation started from D:"
ddrive=$work/ddrive
rm -rf "$ddrive"
mkdir -p "$ddrive/Downloads"
ln -sfn "$ddrive" "$WINEPREFIX/dosdevices/d:"
cp "$selvane" "$ddrive/Downloads/Selvane.exe"
e2e_start_server
say "starting D:\\Downloads\\Selvane.exe"
(cd "$ddrive/Downloads" && exec "$WINELOADER" 'D:\Downloads\Selvane.exe' >"$work/selvane-d.log" 2>&1) &
window=$(e2e_find_window) || { fail "the window of Selvane appeared"; exit 1; }
sleep 2
e2e_click_ecf "$window"
if e2e_wait_for_file "$markers/VendraECF.exe.log" 180; then
  pass "from D:, the installation reached the point-of-sale program"
else
  fail "from D:, the installation reached the point-of-sale program"
fi
check "the installation's updater processes ended" e2e_wait_gone 60
check "the updater copied itself into C:\\Kavel\\ECF\\" cmp -s "$ecf/Selvane.exe" "$repo/updater/Selvane.exe"
check "the edition's files are in C:\\Kavel\\ECF\\" cmp -s "$ecf/leiame.txt" "$repo/ECF/leiame.txt"
check "nothing was renamed or left on D:" test -z "$(find "$ddrive" -type f ! -name Selvane.exe ! -name selvane.ini)"
check "the download on D: is untouched" cmp -s "$ddrive/Downloads/Selvane.exe" "$selvane"

# --- 2. A silent server: close requests held back, then the close button -----
e2e_section "2. A silent server: close requests held back, then the close button"
e2e_start_server --silent-at execute
say "starting C:\\Kavel\\ECF\\Selvane.exe against a server that goes silent"
start_updater silent
window=$(e2e_find_window) || { fail "the window of Selvane appeared"; exit 1; }
held=1
for _ in 1 2 3; do  # while it connects, waits and then waits on the silent server
  sleep 1
  storm || true
  sleep 0.5
  e2e_window_shown || held=0
done
check "close requests are held back while the worker runs" test "$held" = 1
# The worker gives up by itself: the server sees the client go.
t=0
until grep -q "ended:" "$server_log" || [ "$t" -ge 300 ]; do sleep 0.2; t=$((t + 1)); done
check "the worker gave up on the silent server by itself" grep -q "ended:" "$server_log"
check "and the window stayed" e2e_window_shown
check "it shows the communication limit's text" wait_status '^Communication timeout error' 10
check "the point-of-sale program was not started" pos_not_started
close_failed_run silent-server-given-up

# --- 3. A drop in the middle of a step, a rerun with other spellings ------------
e2e_section "3. A drop in the middle of a step, a rerun with other spellings"
installed=$work/ecf-installed
rm -rf "$installed"
cp -a "$ecf" "$installed"
alias=$("$WINELOADER" "$short_name" 'C:\Kavel\ECF\VendraECF.exe' 2>/dev/null | tr -d '\r' || true)
say "Wine's 8.3 alias of VendraECF.exe: $alias"
check "VendraECF.exe has an 8.3 alias of its own" grep -qE '^[A-Z0-9_]{1,6}~[A-Z0-9]+\.EXE$' <<<"$alias"
# Six changed files; the fetch list names them in byte order of their names
# (SailecRegular.ttf, VendraECF.exe, leiame.txt, ...): the third is cut inside its data.
step_files=(SailecRegular.ttf VendraECF.exe leiame.txt relatório.txt rtl260.bpl vcl260.bpl)
for f in SailecRegular.ttf leiame.txt rtl260.bpl vcl260.bpl; do head -c 150000 /dev/urandom >"$repo/ECF/$f"; done
printf 'Relatório de vendas, versão 2\r\n' >"$repo/ECF/relatório.txt"
printf 'selvane e2e point of sale 2' >>"$repo/ECF/VendraECF.exe"
for f in "${step_files[@]}"; do touch -d "2024-05-02 08:00:00" "$repo/ECF/$f"; done
e2e_start_server --drop-after-bytes 100000 --drop-in-file 3
say "a step of six changed files, the link dropped during the third"
# A link cut reads as the communication limit's text.
failing_run drop '^Communication timeout error$' "the link's text"
check "drop: the server was asked for three files" test "$(file_calls)" -eq 3
for f in "${step_files[@]}"; do
  check "drop: $f is the installed one" same_bytes "$ecf/$f" "$installed/$f"
  check "drop: $f keeps the installed time" same_time "$ecf/$f" "$installed/$f"
done
check "drop: the folder holds the same names, no temporary" same_names "$ecf" "$installed"
check "drop: the point-of-sale program was not started" pos_not_started
close_failed_run drop
e2e_start_server --file-name-for 'relatório.txt=RELATÓRIO.TXT' --file-name-for "VendraECF.exe=$alias"
say "a rerun; the records name RELATÓRIO.TXT for relatório.txt and $alias for VendraECF.exe"
start_updater rerun
check "rerun: the point-of-sale program was started" e2e_wait_for_file "$markers/VendraECF.exe.log" 60
check "rerun: the updater ended" e2e_wait_gone 30
check "rerun: the six files were asked for" test "$(file_calls)" -eq 6
for dir in ECF KVL; do
  target=$ecf; [ "$dir" = KVL ] && target=$kvl
  for f in "$repo/$dir"/*; do
    [ -f "$f" ] || continue
    check "rerun: $dir\\${f##*/} equals the repository's" same_bytes "$target/${f##*/}" "$f"
    check "rerun: $dir\\${f##*/} carries its time" same_time "$target/${f##*/}" "$f"
  done
done
check "rerun: the folder holds the same names, no temporary" same_names "$ecf" "$installed"

# --- 4. Devices in the fetch list ------------------------------------------------
e2e_section "4. Devices in the fetch list"
# The prefix's devices become plain files here, so that an opening would show.
devices=(com1 com2 lpt1 lpt2)
declare -A device_link=()
for d in "${devices[@]}"; do
  device_link[$d]=$(readlink "$WINEPREFIX/dosdevices/$d" 2>/dev/null || true)
  printf 'device %s\n' "$d" >"$work/device-$d"
  touch -d "2024-01-01 00:00:00" "$work/device-$d"
  ln -sfn "$work/device-$d" "$WINEPREFIX/dosdevices/$d"
done
e2e_start_server --extra-entry 'COM¹' --extra-entry 'LPT².txt' --extra-entry 'COM1' --extra-entry 'CONIN$'
say "a fetch list naming COM¹, LPT².txt, COM1 and CONIN\$"
failing_run devices '^Nome de arquivo inválido recebido do servidor: "COM¹"' "the text naming COM¹"
check "devices: no file was asked for" test "$(file_calls)" -eq 0
for d in "${devices[@]}"; do
  check "devices: $d was not opened" test "$(stat -c %Y "$work/device-$d")" = "$(date -d '2024-01-01 00:00:00' +%s)" -a \
    "$(cat "$work/device-$d")" = "device $d"
done
check "devices: the folder holds the same names" same_names "$ecf" "$installed"
check "devices: the point-of-sale program was not started" pos_not_started
close_failed_run devices
for d in "${devices[@]}"; do
  if [ -n "${device_link[$d]}" ]; then ln -sfn "${device_link[$d]}" "$WINEPREFIX/dosdevices/$d"; else rm -f "$WINEPREFIX/dosdevices/$d"; fi
done

# --- 5. A newer updater that would brick the next start ---------------------------
e2e_section "5. A newer updater that would brick the next start"
cp -p "$ecf/Selvane.exe" "$work/Selvane-installed.exe"
# updater_refused WHAT: the run shows why, swaps nothing and restarts nothing.
updater_refused() {
  local what=$1 first
  failing_run "$what" '^O atualizador recebido do servidor não é válido: ' "the updater's text"
  first=$(e2e_pids Selvane.exe)
  sleep 1
  check "$what: one updater runs, the same as before (no restart)" test "$(wc -l <<<"$first")" -eq 1 -a \
    "$(e2e_pids Selvane.exe)" = "$first"
  check "$what: the running updater was not swapped" same_bytes "$ecf/Selvane.exe" "$work/Selvane-installed.exe"
  check "$what: no new or old updater is left" test ! -e "$ecf/Selvane_new.exe" -a ! -e "$ecf/Selvane_old.exe"
  check "$what: no update batch was written" test ! -e "$ecf/AtualizaSistema.bat"
  check "$what: the point-of-sale program was not started" pos_not_started
  close_failed_run "$what"
}
head -c 8192 /dev/urandom >"$repo/updater/Selvane.exe"
touch -d "2024-05-04 08:00:00" "$repo/updater/Selvane.exe"
e2e_start_server
say "the server publishes 8 KB of noise as the newer updater"
updater_refused noise-updater
{ cat "$updater_served"; printf 'selvane e2e build 2'; } >"$repo/updater/Selvane.exe"
touch -d "2024-05-05 08:00:00" "$repo/updater/Selvane.exe"
e2e_start_server --empty-container Selvane.exe
say "the server publishes a newer updater in a container with no entry"
updater_refused empty-updater
cp -p "$updater_served" "$repo/updater/Selvane.exe"

# --- 6. Twenty runs leave no process behind -----------------------------------
e2e_section "6. Twenty runs leave no process behind"
e2e_start_server
for run in $(seq 1 20); do
  if [ $((run % 2)) -eq 1 ]; then
    # An update that ends through its start batch.
    (cd "$ecf" && exec "$WINELOADER" 'C:\Kavel\ECF\Selvane.exe' >>"$work/selvane-runs.log" 2>&1) &
    e2e_wait_gone 60 || fail "run $run ended through its start batch"
  else
    # No server: the run fails, then a close request ends it.
    e2e_stop_server
    (cd "$ecf" && exec "$WINELOADER" 'C:\Kavel\ECF\Selvane.exe' >>"$work/selvane-runs.log" 2>&1) &
    e2e_find_window >/dev/null || fail "run $run showed its window"
    t=0
    until ! e2e_window_shown || [ "$t" -ge 30 ]; do storm || true; sleep 1; t=$((t + 1)); done
    e2e_wait_gone 20 || fail "run $run ended when closed after its failure"
    e2e_start_server
  fi
done
sleep 2
check "twenty runs left no updater behind" e2e_no_updater_left
check "twenty runs left no batch behind" test "$(e2e_running cmd.exe)" -eq 0

e2e_finish
