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
#                     [--server selvane-update-server]
# Exit status 0 when every check passed.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
server=${SELVANE_UPDATE_SERVER:-$root/build/native/selvane-update-server}
selvane="" sample="" post_close="" work=""
while [ $# -gt 0 ]; do
  case "$1" in
    --selvane) selvane=$2; shift 2 ;;
    --sample) sample=$2; shift 2 ;;
    --post-close) post_close=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --server) server=$2; shift 2 ;;
    *) echo "run-faults-e2e: unknown option $1" >&2; exit 2 ;;
  esac
done
for f in "$selvane" "$post_close" "$server"; do
  [ -f "$f" ] || { echo "run-faults-e2e: missing $f (build the native preset for the server)" >&2; exit 2; }
done
[ -d "$sample/updater" ] || { echo "run-faults-e2e: no sample repository in '$sample'" >&2; exit 2; }

# shellcheck source=../wine/wine-env.sh
source "$root/tests/wine/wine-env.sh"

mkdir -p "$work"
work=$(cd "$work" && pwd)
repo=$work/repo
server_pid=""
server_log=""
server_starts=0
failures=0

stop_server() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
    server_pid=""
  fi
}
cleanup() {
  stop_server
  wine_cleanup
}
trap cleanup EXIT

say() { echo "e2e-faults: $*"; }
pass() { say "ok   $*"; }
fail() { say "FAIL $*"; failures=$((failures + 1)); }
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
port_in_use() { (exec 3<>/dev/tcp/127.0.0.1/5975) 2>/dev/null; }

start_server() {  # start_server [OPTIONS...]; its log is $server_log
  stop_server
  server_starts=$((server_starts + 1))
  server_log=$work/server-$server_starts.log
  "$server" --root "$repo" --port 5975 "$@" >"$server_log" 2>&1 &
  server_pid=$!
  for _ in $(seq 100); do port_in_use && break; sleep 0.1; done
  port_in_use || { echo "run-faults-e2e: the update server did not start" >&2; cat "$server_log" >&2; exit 1; }
}

# Programs of this prefix still running, by image name (other Wine prefixes
# on the machine do not count).
running() {
  local n=0 pid
  for pid in $(pgrep -fi "\\\\$1" || true); do
    if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then n=$((n + 1)); fi
  done
  echo "$n"
}
no_updater_left() { [ "$(running Selvane.exe)" -eq 0 ]; }
window_shown() { xdotool search --name '^FrmSelvane$' >/dev/null 2>&1; }
wait_gone() {  # wait_gone SECONDS: until no updater runs
  local t=0
  while ! no_updater_left && [ "$t" -lt $(($1 * 5)) ]; do sleep 0.2; t=$((t + 1)); done
  no_updater_left
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
wait_for_file() {  # wait_for_file FILE SECONDS
  local t=0
  while [ ! -s "$1" ] && [ "$t" -lt $(($2 * 5)) ]; do sleep 0.2; t=$((t + 1)); done
  [ -s "$1" ]
}
storm() { "$WINELOADER" "$post_close" 50 >/dev/null 2>&1; }

wine_env_init "$work/prefix"
wine_start_xvfb || exit 1
wine_prefix_ensure || { echo "run-faults-e2e: cannot prepare the Wine prefix" >&2; exit 1; }
"$WINESERVER" -k 2>/dev/null || true
drive_c=$(wine_drive_c)
rm -rf "$drive_c/Kavel" "$drive_c/windows/kvl" "$drive_c/selvane-e2e"
markers=$drive_c/selvane-e2e
ecf=$drive_c/Kavel/ECF

rm -rf "$repo"
cp -a "$sample" "$repo"
if port_in_use; then echo "run-faults-e2e: port 5975 is in use" >&2; exit 1; fi

# --- 1. Installation started from D: ----------------------------------------
ddrive=$work/ddrive
rm -rf "$ddrive"
mkdir -p "$ddrive/Downloads"
ln -sfn "$ddrive" "$WINEPREFIX/dosdevices/d:"
cp "$selvane" "$ddrive/Downloads/Selvane.exe"
start_server
say "starting D:\\Downloads\\Selvane.exe"
(cd "$ddrive/Downloads" && exec "$WINELOADER" 'D:\Downloads\Selvane.exe' >"$work/selvane-d.log" 2>&1) &
window=$(find_window) || { fail "the window of Selvane appeared"; exit 1; }
sleep 2
eval "$(xdotool getwindowgeometry --shell "$window")"
# The ECF tile: KavelPanel1 (8, 0) > Panel1 (4, 144) > Panel2 (63, 57, 113 x 41), at its centre.
xdotool mousemove $((X + 8 + 4 + 63 + 56)) $((Y + 144 + 57 + 20)) click 1
if wait_for_file "$markers/VendraECF.exe.log" 180; then
  pass "from D:, the installation reached the point-of-sale program"
else
  fail "from D:, the installation reached the point-of-sale program"
fi
check "the installation's updater processes ended" wait_gone 60
check "the updater copied itself into C:\\Kavel\\ECF\\" cmp -s "$ecf/Selvane.exe" "$repo/updater/Selvane.exe"
check "the edition's files are in C:\\Kavel\\ECF\\" cmp -s "$ecf/leiame.txt" "$repo/ECF/leiame.txt"
check "nothing was renamed or left on D:" test -z "$(find "$ddrive" -type f ! -name Selvane.exe ! -name selvane.ini)"
check "the download on D: is untouched" cmp -s "$ddrive/Downloads/Selvane.exe" "$selvane"

# --- 2. A silent server: close requests held back, then the close button -----
start_server --silent-at execute
rm -f "$markers/VendraECF.exe.log"
say "starting C:\\Kavel\\ECF\\Selvane.exe against a server that goes silent"
(cd "$ecf" && exec "$WINELOADER" 'C:\Kavel\ECF\Selvane.exe' >"$work/selvane-silent.log" 2>&1) &
window=$(find_window) || { fail "the window of Selvane appeared"; exit 1; }
held=1
for _ in 1 2 3; do  # while it connects, waits and then waits on the silent server
  sleep 1
  storm || true
  sleep 0.5
  window_shown || held=0
done
check "close requests are held back while the worker runs" test "$held" = 1
# The worker gives up by itself: the server sees the client go.
t=0
until grep -q "ended:" "$server_log" || [ "$t" -ge 300 ]; do sleep 0.2; t=$((t + 1)); done
check "the worker gave up on the silent server by itself" grep -q "ended:" "$server_log"
check "and the window stayed" window_shown
sleep 1
wine_screenshot "$work/silent-server-given-up.png" 2>/dev/null || true
eval "$(xdotool getwindowgeometry --shell "$window")"
# The close button: KavelPanel2 (481, 3, 29 x 29), at its centre. A click is
# ignored until the worker has made the button usable again, so click again
# until it works.
closed=0
for _ in $(seq 30); do
  xdotool mousemove $((X + 481 + 14)) $((Y + 3 + 14)) click 1
  if wait_gone 1; then closed=1; break; fi
done
check "then the close button ends the program" test "$closed" = 1
check "the point-of-sale program was not started" test ! -e "$markers/VendraECF.exe.log"

# --- 3. Twenty runs leave no process behind -----------------------------------
start_server
for run in $(seq 1 20); do
  if [ $((run % 2)) -eq 1 ]; then
    # An update that ends through its start batch.
    (cd "$ecf" && exec "$WINELOADER" 'C:\Kavel\ECF\Selvane.exe' >>"$work/selvane-runs.log" 2>&1) &
    wait_gone 60 || fail "run $run ended through its start batch"
  else
    # No server: the run fails, then a close request ends it.
    stop_server
    (cd "$ecf" && exec "$WINELOADER" 'C:\Kavel\ECF\Selvane.exe' >>"$work/selvane-runs.log" 2>&1) &
    find_window >/dev/null || fail "run $run showed its window"
    t=0
    until ! window_shown || [ "$t" -ge 30 ]; do storm || true; sleep 1; t=$((t + 1)); done
    wait_gone 20 || fail "run $run ended when closed after its failure"
    start_server
  fi
done
sleep 2
check "twenty runs left no updater behind" no_updater_left
check "twenty runs left no batch behind" test "$(running cmd.exe)" -eq 0

if [ "$failures" -ne 0 ]; then
  say "$failures check(s) failed; logs in $work"
  exit 1
fi
say "all checks passed"
