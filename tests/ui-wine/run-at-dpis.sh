#!/usr/bin/env bash
# Runs the scaled-window checks once per display scale:
#   run-at-dpis.sh ui_scaled_window_tests.exe WORK_DIR [DPI...]
# (default 96 120 144 192). Wine takes the scale from LogPixels under
# HKCC\Software\Fonts, read when its processes start, so the script owns a
# prefix (WORK_DIR/prefix, made once) and a virtual display, sets the value
# and restarts the wineserver before each run. Screenshots land in
# WORK_DIR/screenshots/dpi-<N>/, with a contact sheet of all of them in
# WORK_DIR/screenshots/scales.png. Exit status 0 when every run passed.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$(readlink -f "$1")
work=$2
shift 2
dpis=("$@")
((${#dpis[@]})) || dpis=(96 120 144 192)

# shellcheck source=../wine/wine-env.sh
source "$here/../wine/wine-env.sh"
mkdir -p "$work"
work=$(cd "$work" && pwd)
trap wine_cleanup EXIT
wine_env_init "$work/prefix"
wine_start_xvfb || exit 1
wine_prefix_ensure || { echo "run-at-dpis: cannot create the Wine prefix $WINEPREFIX" >&2; exit 1; }

rm -rf "$work/screenshots"
failed=()
for dpi in "${dpis[@]}"; do
  "$WINESERVER" -k 2>/dev/null || true
  "$WINESERVER" -w
  "$WINELOADER" reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  "$WINESERVER" -w
  echo "=== $dpi dpi"
  if ! (cd "$work" && SELVANE_EXPECTED_DPI=$dpi "$WINELOADER" "$program"); then
    failed+=("$dpi")
  fi
done
"$WINESERVER" -k 2>/dev/null || true

if command -v montage >/dev/null 2>&1; then
  shots=()
  for dpi in "${dpis[@]}"; do
    for name in created choice tooltip; do
      f=$work/screenshots/dpi-$dpi/$name.png
      [ -f "$f" ] && shots+=(-label "$dpi dpi: $name" "$f")
    done
  done
  ((${#shots[@]})) && montage "${shots[@]}" -tile 3x -geometry '+6+6' -background '#404040' -fill white \
    "$work/screenshots/scales.png" 2>/dev/null
fi
echo "Screenshots: $work/screenshots/"
if ((${#failed[@]})); then
  echo "run-at-dpis: failed at ${failed[*]} dpi" >&2
  exit 1
fi
