# Shared by the end-to-end scripts that drive Selvane.exe under Wine against
# the native reference update server on 127.0.0.1:5975. Source it from bash
# after wine-env.sh's own rules (set -euo pipefail is fine):
#
#   source tests/wine/e2e-env.sh
#   e2e_init NAME WORK SERVER       # checks, logs and clean-up under WORK
#   e2e_machine [PREFIX] [DISPLAY]  # Wine, display, and a machine without Kavel
#   cp -a sample "$repo"; e2e_start_server [OPTIONS...]   # log in $server_log
#   window=$(e2e_find_window); e2e_click_ecf "$window"
#   check "what" COMMAND...         # counts failures
#   e2e_finish                      # prints the outcome, exits 0 or 1
#
# Globals for the script: work, repo, server_log, drive_c, ecf, kvl, markers,
# sysdir. The caller must hold /tmp/selvane-5975.lock (flock) while it runs.

here_e2e_env=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=wine-env.sh
source "$here_e2e_env/wine-env.sh"

e2e_name="e2e"
e2e_failures=0
e2e_server=""
e2e_server_pid=""
e2e_server_starts=0
e2e_own_display=1
repo="" server_log="" drive_c="" ecf="" kvl="" markers="" sysdir=""

say() { echo "$e2e_name: $*"; }
pass() { say "ok   $*"; }
fail() { say "FAIL $*"; e2e_failures=$((e2e_failures + 1)); }
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
not() { ! "$@"; }
same_bytes() { cmp -s "$1" "$2"; }
same_time() { [ "$(stat -c %Y "$1")" = "$(stat -c %Y "$2")" ]; }

# e2e_section TITLE: a heading with the seconds since the script started, so
# that a log shows what each scenario costs.
e2e_section() { say "--- $* (at ${SECONDS} s)"; }

# e2e_init NAME WORK SERVER: NAME prefixes every line; WORK holds logs, the
# served repository ($repo) and, by default, the prefix.
e2e_init() {
  e2e_name=$1
  mkdir -p "$2"
  work=$(cd "$2" && pwd)
  repo=$work/repo
  e2e_server=$3
  [ -x "$e2e_server" ] || { echo "$e2e_name: missing $e2e_server (build the native preset for the server)" >&2; exit 2; }
  trap e2e_cleanup EXIT
}

e2e_cleanup() {
  e2e_stop_server
  [ "$e2e_own_display" = 1 ] || WINE_XVFB_PID=""
  wine_cleanup
}

# e2e_machine [PREFIX] [DISPLAY]: the prefix (default $work/prefix, made once),
# a private Xvfb unless DISPLAY names one, no Wine process left of an earlier
# run, and none of what an installation leaves (folders, links, packages).
e2e_machine() {
  local prefix=${1:-$work/prefix} display=${2:-}
  wine_env_init "$(realpath -m "$prefix")"
  if [ -n "$display" ]; then
    export DISPLAY=$display
    e2e_own_display=0
  else
    wine_start_xvfb || exit 1
  fi
  wine_prefix_ensure || { echo "$e2e_name: cannot prepare the Wine prefix" >&2; exit 1; }
  "$WINESERVER" -k 2>/dev/null || true
  drive_c=$(wine_drive_c)
  ecf=$drive_c/Kavel/ECF
  kvl=$drive_c/windows/kvl
  markers=$drive_c/selvane-e2e
  sysdir=$drive_c/windows/system32
  [ -d "$drive_c/windows/syswow64" ] && sysdir=$drive_c/windows/syswow64
  rm -rf "$drive_c/Kavel" "$kvl" "$markers" "$drive_c/users/Public/Downloads/Selvane.exe"
  rm -f "$drive_c"/users/*/Desktop/Kavel\ Vendra-*.lnk "$drive_c"/users/*/Desktop/Kavel\ Vendra-*.LNK
  rm -f "$sysdir/rtl260.bpl" "$sysdir/vcl260.bpl"
}

# e2e_keep_wineserver: the wineserver, and with it Wine's own services, stay
# between the script's programs, so that each starts in about a second instead
# of three or four; e2e_cleanup ends it. Not for a script that waits for the
# wineserver to end (wineserver -w).
e2e_keep_wineserver() { "$WINESERVER" -p; }

e2e_port_in_use() { (exec 3<>/dev/tcp/127.0.0.1/5975) 2>/dev/null; }

e2e_stop_server() {
  if [ -n "$e2e_server_pid" ]; then
    kill "$e2e_server_pid" 2>/dev/null || true
    wait "$e2e_server_pid" 2>/dev/null || true
    e2e_server_pid=""
  fi
}

# e2e_start_server [OPTIONS...]: (re)starts the server on $repo; its log,
# one file per start, is $server_log.
e2e_start_server() {
  e2e_stop_server
  if e2e_port_in_use; then echo "$e2e_name: port 5975 is in use" >&2; exit 1; fi
  e2e_server_starts=$((e2e_server_starts + 1))
  server_log=$work/server-$e2e_server_starts.log
  "$e2e_server" --root "$repo" --port 5975 "$@" >"$server_log" 2>&1 &
  e2e_server_pid=$!
  local _
  for _ in $(seq 100); do e2e_port_in_use && break; sleep 0.1; done
  e2e_port_in_use || { echo "$e2e_name: the update server did not start:" >&2; cat "$server_log" >&2; exit 1; }
}

# Host pids of the programs of this prefix running under an image name (other
# Wine prefixes on the machine do not count), one a line.
e2e_pids() {
  local pid
  for pid in $(pgrep -fi "\\\\$1" || true); do
    if tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX"; then echo "$pid"; fi
  done
}
e2e_running() { e2e_pids "$1" | wc -l; }
e2e_no_updater_left() { [ "$(e2e_running Selvane.exe)" -eq 0 ]; }
e2e_updater_runs() { [ "$(e2e_running Selvane.exe)" -gt 0 ]; }
e2e_window_shown() { xdotool search --name '^FrmSelvane$' >/dev/null 2>&1; }

e2e_wait_gone() {  # e2e_wait_gone SECONDS: until no updater runs
  local t=0
  while ! e2e_no_updater_left && [ "$t" -lt $(($1 * 5)) ]; do sleep 0.2; t=$((t + 1)); done
  e2e_no_updater_left
}

e2e_wait_for_file() {  # e2e_wait_for_file FILE SECONDS: until it is not empty
  local t=0
  while [ ! -s "$1" ] && [ "$t" -lt $(($2 * 5)) ]; do sleep 0.2; t=$((t + 1)); done
  [ -s "$1" ]
}

# e2e_find_window: the X window id of Selvane's window, within a minute;
# without one, what the machine looked like goes to standard error.
e2e_find_window() {
  local w="" _
  for _ in $(seq 120); do
    w=$(xdotool search --name '^FrmSelvane$' 2>/dev/null | head -n1 || true)
    [ -n "$w" ] && { echo "$w"; return 0; }
    sleep 0.5
  done
  e2e_report_no_window >&2
  return 1
}

# e2e_report_no_window: the display, the prefix's processes, the windows
# there are, the newest program log and a screenshot (no-window.png in $work).
e2e_report_no_window() {
  local pid log
  say "no window of Selvane; DISPLAY=$DISPLAY, our Xvfb $(wine_xvfb_alive && echo runs || echo "does not run")"
  for pid in $(pgrep -f 'wine|\.exe' || true); do
    if tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
      say "  process $pid: $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)"
    fi
  done
  xdotool search --name . 2>/dev/null | while read -r w; do
    say "  window $w: $(xdotool getwindowname "$w" 2>/dev/null)"
  done
  log=$(ls -t "$work"/selvane-*.log 2>/dev/null | head -n1 || true)
  if [ -n "$log" ]; then
    say "  $log:"
    tail -n 20 "$log" | sed "s/^/$e2e_name:     /"
  fi
  wine_screenshot "$work/no-window.png" 2>/dev/null && say "  screen: $work/no-window.png"
  return 0
}

# e2e_click_ecf WINDOW: a click at the centre of the ECF tile:
# KavelPanel1 (8, 0) > Panel1 (4, 144) > Panel2 (63, 57, 113 x 41).
e2e_click_ecf() {
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool mousemove $((X + 8 + 4 + 63 + 56)) $((Y + 144 + 57 + 20)) click 1
}

# e2e_close_by_button WINDOW [SHOT]: clicks the close button, KavelPanel2
# (481, 3, 29 x 29), until the program ends. A click is ignored while the
# worker runs, so a failing run is clicked again until its button is usable;
# with SHOT the screen is taken before each click, so that SHOT keeps the
# last one before the click that worked.
e2e_close_by_button() {
  local X Y WIDTH HEIGHT SCREEN WINDOW _
  eval "$(xdotool getwindowgeometry --shell "$1")"
  for _ in $(seq 30); do
    [ -z "${2:-}" ] || wine_screenshot "$2" 2>/dev/null || true
    xdotool mousemove $((X + 481 + 14)) $((Y + 3 + 14)) click 1
    e2e_wait_gone 1 && return 0
  done
  return 1
}

# e2e_finish: the outcome of every check; exits the script.
e2e_finish() {
  if [ "$e2e_failures" -ne 0 ]; then
    say "$e2e_failures check(s) failed; logs in $work"
    exit 1
  fi
  say "all checks passed in ${SECONDS} s"
  exit 0
}
