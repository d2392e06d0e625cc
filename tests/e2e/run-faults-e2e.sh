#!/usr/bin/env bash
# Faults end to end under Wine in a virtual display, with the windows-test
# build's short time limits:
#   1. started from a D: drive (a folder mapped in the prefix's dosdevices),
#      the ECF installation completes: the batches act on C:\Kavel\ECF\;
#   2. a server that goes silent in the first remote call: close requests
#      (WM_CLOSE, SC_CLOSE) are held back while the worker waits, the worker
#      gives up by itself, and then the close button ends the program;
#   3. twenty runs of Selvane.exe, some ending through their start batch, some
#      failing and closed, leave no process behind.
#
#   run-faults-e2e.sh --selvane Selvane.exe --sample DIR --post-close post_close.exe --work DIR
#                     [--server selvane-update-server] [--prefix DIR]
# Exit status 0 when every check passed.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
server=${SELVANE_UPDATE_SERVER:-$root/build/native/selvane-update-server}
selvane="" sample="" post_close="" work="" prefix=""
while [ $# -gt 0 ]; do
  case "$1" in
    --selvane) selvane=$2; shift 2 ;;
    --sample) sample=$2; shift 2 ;;
    --post-close) post_close=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --server) server=$2; shift 2 ;;
    --prefix) prefix=$2; shift 2 ;;
    *) echo "run-faults-e2e: unknown option $1" >&2; exit 2 ;;
  esac
done
for f in "$selvane" "$post_close"; do
  [ -f "$f" ] || { echo "run-faults-e2e: missing $f" >&2; exit 2; }
done
[ -d "$sample/updater" ] || { echo "run-faults-e2e: no sample repository in '$sample'" >&2; exit 2; }

# shellcheck source=../wine/e2e-env.sh
source "$root/tests/wine/e2e-env.sh"
e2e_init e2e-faults "$work" "$server"
storm() { "$WINELOADER" "$post_close" 50 >/dev/null 2>&1; }

e2e_machine "$prefix"

rm -rf "$repo"
cp -a "$sample" "$repo"

# --- 1. Installation started from D: ----------------------------------------
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
e2e_start_server --silent-at execute
rm -f "$markers/VendraECF.exe.log"
say "starting C:\\Kavel\\ECF\\Selvane.exe against a server that goes silent"
(cd "$ecf" && exec "$WINELOADER" 'C:\Kavel\ECF\Selvane.exe' >"$work/selvane-silent.log" 2>&1) &
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
sleep 1
wine_screenshot "$work/silent-server-given-up.png" 2>/dev/null || true
closed=0
e2e_close_by_button "$window" && closed=1
check "then the close button ends the program" test "$closed" = 1
check "the point-of-sale program was not started" test ! -e "$markers/VendraECF.exe.log"

# --- 3. Twenty runs leave no process behind -----------------------------------
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
