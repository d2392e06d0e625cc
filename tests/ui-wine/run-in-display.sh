#!/bin/sh
# Runs a Windows program under Wine in a virtual display of its own:
#   run-in-display.sh <work dir> <program.exe> [args...]
# Uses $DISPLAY when set; otherwise starts Xvfb (1024x768, 24 bits) and stops
# it afterwards. Uses $WINEPREFIX when set; otherwise a prefix in <work dir>,
# made on first use, whose wineserver is ended afterwards.
set -u
work=$1; shift
mkdir -p "$work"
work=$(cd "$work" && pwd)
export WINEDEBUG=-all
# A crash must fail the test, not wait in the debugger.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winedbg.exe=d"
export HOME="${HOME:-$work/home}"

xvfb_pid=
cleanup() {
  if [ -n "${own_prefix:-}" ]; then WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
}
trap cleanup EXIT INT TERM

if [ -z "${DISPLAY:-}" ]; then
  command -v Xvfb >/dev/null || { echo "Xvfb is not installed" >&2; exit 1; }
  fifo="$work/displayfd"
  rm -f "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$fifo" ] && break; sleep 0.1; done
  [ -s "$fifo" ] || { echo "Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(head -n1 "$fifo")"
fi

if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX="$work/prefix"
  own_prefix=1
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
fi

wine_bin=$(command -v wine64 || command -v wine)
cd "$work" && "$wine_bin" "$@"
