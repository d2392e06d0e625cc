# Shared Wine helpers for scripts that run Windows programs on this machine
# (test runner, demo, end-to-end and screenshot tests). Source it from bash:
#
#   source tests/wine/wine-env.sh
#   wine_env_init "$build/wine/prefix"   # WINEPREFIX, quiet Wine, private HOME
#   wine_start_xvfb                      # or: wine_start_xvfb :91
#   wine_prefix_ensure                   # wineboot once per prefix, under a lock
#   wine_run "$build/Selvane.exe"        # foreground, returns the exit code
#   wine_run_bg "$build/Selvane.exe"     # background, pid in WINE_BG_PID
#   wine_wait_window "Notepad" 60       # X window id once such a window shows
#   wine_screenshot out.png
#   wine_cleanup                         # wineserver -k for this prefix, our Xvfb, HOME
#
# wine_cleanup ends every Wine process of the prefix: a script that may run
# while ctest does should use a prefix of its own, not <build>/wine/prefix.
# Nothing here downloads: Mono and Gecko are disabled, so wineboot never asks.

WINE_XVFB_PID=""
WINE_BG_PID=""
WINE_TMP_HOME=""

# The 64-bit loader, whichever way the distribution installs it.
wine_loader() {
  if [ -x /usr/lib/wine/wine64 ]; then echo /usr/lib/wine/wine64
  elif command -v wine64 >/dev/null 2>&1; then command -v wine64
  else command -v wine
  fi
}

wine_server_bin() {
  if [ -x /usr/lib/wine/wineserver64 ]; then echo /usr/lib/wine/wineserver64
  elif [ -x /usr/lib/wine/wineserver ]; then echo /usr/lib/wine/wineserver
  else command -v wineserver
  fi
}

# wine_env_init PREFIX: the environment every Wine call below uses.
wine_env_init() {
  export WINEPREFIX="$1"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
  export WINEARCH=win64
  export WINELOADER="$(wine_loader)"
  export WINESERVER="$(wine_server_bin)"
  # UTF-8 host file names; Windows side gets the Western code page 1252.
  export LC_ALL=C.UTF-8
  export LANG=C.UTF-8
  if [ -z "$WINE_TMP_HOME" ]; then
    WINE_TMP_HOME="$(mktemp -d /tmp/selvane-wine-home.XXXXXX)"
  fi
  export HOME="$WINE_TMP_HOME"
  export XDG_RUNTIME_DIR="$WINE_TMP_HOME"
  mkdir -p "$(dirname "$WINEPREFIX")"
}

# wine_start_xvfb [:N]: starts Xvfb on :N, or on a display it picks itself
# (-displayfd: it takes the first free one under its own lock, so two runs
# starting at once never share one), and exports DISPLAY. Returns non-zero if
# no server came up.
wine_start_xvfb() {
  local wanted="${1:-}" numfile n="" i
  if [ -n "$wanted" ]; then
    _wine_try_xvfb "${wanted#:}" && return 0
    echo "wine-env: cannot start Xvfb on $wanted" >&2
    return 1
  fi
  numfile=$(mktemp /tmp/selvane-xvfb.XXXXXX)
  Xvfb -displayfd 3 "${_wine_xvfb_args[@]}" 3>"$numfile" >/dev/null 2>&1 &
  WINE_XVFB_PID=$!
  for i in $(seq 1 200); do
    n=$(head -n1 "$numfile" 2>/dev/null || true)
    [ -n "$n" ] && [ -S "/tmp/.X11-unix/X$n" ] && break
    n=""
    wine_xvfb_alive || break
    sleep 0.05
  done
  rm -f "$numfile"
  if [ -n "$n" ]; then
    export DISPLAY=":$n"
    return 0
  fi
  _wine_stop_xvfb
  echo "wine-env: Xvfb did not start" >&2
  return 1
}

_wine_xvfb_args=(-screen 0 1280x1024x24 -nolisten tcp -noreset)

# wine_xvfb_alive: whether the Xvfb this script started still runs.
wine_xvfb_alive() { [ -n "$WINE_XVFB_PID" ] && kill -0 "$WINE_XVFB_PID" 2>/dev/null; }

_wine_stop_xvfb() {
  if [ -n "$WINE_XVFB_PID" ]; then
    kill "$WINE_XVFB_PID" 2>/dev/null || true
    wait "$WINE_XVFB_PID" 2>/dev/null || true
    WINE_XVFB_PID=""
  fi
}

_wine_try_xvfb() {
  local n="$1" i
  Xvfb ":$n" "${_wine_xvfb_args[@]}" >/dev/null 2>&1 &
  WINE_XVFB_PID=$!
  for i in $(seq 1 100); do
    # The socket alone could be another server's: ours must still run.
    if [ -S "/tmp/.X11-unix/X$n" ] && wine_xvfb_alive; then
      export DISPLAY=":$n"
      return 0
    fi
    wine_xvfb_alive || break
    sleep 0.05
  done
  _wine_stop_xvfb
  return 1
}

# wine_prefix_ensure: creates WINEPREFIX once; parallel callers wait for the first.
wine_prefix_ensure() {
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      "$WINELOADER" wineboot -i >/dev/null 2>&1 9>&- || true
      # A crashing test must end, not wait in Wine's crash dialog until the time-out.
      "$WINELOADER" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 9>&- || true
      "$WINESERVER" -w
      # wineboot links the profile folders (Desktop, ...) to the HOME of the run
      # that made the prefix; that HOME is temporary, so give them folders of their own.
      local link
      for link in "$WINEPREFIX"/drive_c/users/*/*; do
        if [ -L "$link" ]; then rm -f "$link" && mkdir -p "$link"; fi
      done
    fi
  ) 9>"$WINEPREFIX.lock"
  [ -f "$WINEPREFIX/system.reg" ]
}

wine_drive_c() { echo "$WINEPREFIX/drive_c"; }

# wine_run PROGRAM [ARGS...]: runs in the foreground; returns its exit code.
wine_run() {
  "$WINELOADER" "$@"
}

# wine_run_bg PROGRAM [ARGS...]: runs in the background; pid in WINE_BG_PID.
wine_run_bg() {
  "$WINELOADER" "$@" &
  WINE_BG_PID=$!
}

# wine_wait_window TITLE_REGEX [SECONDS]: waits (default 60 s) until a visible
# window whose title matches shows, and prints its X window id. The first
# program after a fresh wineserver may need ten seconds or more.
wine_wait_window() {
  local title="$1" secs="${2:-60}" end id
  end=$((SECONDS + secs))
  while [ "$SECONDS" -lt "$end" ]; do
    id="$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -1)"
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.2
  done
  return 1
}

# wine_screenshot FILE.png: the whole virtual screen.
wine_screenshot() {
  local convert=/usr/bin/convert
  [ -x "$convert" ] || convert="$(command -v convert)"
  xwd -root -silent -display "$DISPLAY" | "$convert" xwd:- "$1"
}

# wine_cleanup: ends every Wine process of this prefix, our Xvfb and HOME.
wine_cleanup() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    "$WINESERVER" -k >/dev/null 2>&1 || true
  fi
  if [ -n "$WINE_BG_PID" ]; then
    wait "$WINE_BG_PID" 2>/dev/null || true
    WINE_BG_PID=""
  fi
  _wine_stop_xvfb
  if [ -n "$WINE_TMP_HOME" ]; then
    rm -rf "$WINE_TMP_HOME"
    WINE_TMP_HOME=""
  fi
}
