#!/usr/bin/env bash
# Screenshots of Pelmora's windows on a virtual X display, for reviewing how
# they look. Not part of CI.
#
#   scripts/screenshots.sh [BUILD_DIR [OUT_DIR]]
#
# BUILD_DIR is a built tree (default build/), OUT_DIR where the PNG files go
# (default BUILD_DIR/screenshots). SCREENSHOT_WM=openbox runs a window manager
# on the display (package openbox); without it the windows are bare. Needs Xvfb (package xvfb); xdotool (package
# xdotool) lets the script drive the program through the start dialog into a
# configuration window, without it only the first window is taken.
#
# Every window saves itself as OUT_DIR/<name>.png when it is shown and after a
# change worth seeing, because PELMORA_SCREENSHOT_DIR is set. The widget tests
# run first, since they walk every dialog through its states; the program
# itself runs last on a copy of examples/, so its pictures win where names
# repeat.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$(cd "${1:-$ROOT/build}" && pwd)
OUT_DIR=${2:-$BUILD_DIR/screenshots}
PELMORA=$BUILD_DIR/src/app/pelmora

[[ -x $PELMORA ]] || {
  echo "screenshots.sh: $PELMORA is missing; build first" >&2
  exit 1
}
command -v Xvfb >/dev/null || {
  echo "screenshots.sh: Xvfb is missing (apt-get install xvfb)" >&2
  exit 1
}

rm -rf "$OUT_DIR"
mkdir -p "$OUT_DIR"
WORK=$(mktemp -d)
cp -r "$ROOT/examples/." "$WORK/"

source "$ROOT/scripts/xvfb.sh"
start_xvfb 99
APP_PID=
cleanup() {
  [[ -n $APP_PID ]] && kill "$APP_PID" 2>/dev/null || true
  [[ -n ${WM_PID:-} ]] && kill "$WM_PID" 2>/dev/null || true
  kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

export DISPLAY=:$DISPLAY_NUMBER QT_QPA_PLATFORM=xcb PELMORA_SCREENSHOT_DIR=$OUT_DIR

# A window manager, when asked for, shows frames and placement as users see them.
WM_PID=
if [[ -n ${SCREENSHOT_WM:-} ]]; then
  command -v "$SCREENSHOT_WM" >/dev/null || {
    echo "screenshots.sh: $SCREENSHOT_WM is missing" >&2
    exit 1
  }
  "$SCREENSHOT_WM" >/dev/null 2>&1 &
  WM_PID=$!
  sleep 1
fi
# The log and the settings of this machine stay out of it.
export PELMORA_SETTINGS= XDG_STATE_HOME=$WORK/.state

# Waits until OUT_DIR/$1.png exists (at most five seconds).
wait_for() {
  for _ in $(seq 100); do
    [[ -s $OUT_DIR/$1.png ]] && return 0
    sleep 0.05
  done
  echo "screenshots.sh: no $1.png" >&2
  return 1
}

echo "== widget tests"
shopt -s nullglob
for test in "$BUILD_DIR"/tests/app/*_tests; do
  [[ -x $test ]] || continue
  if (cd "$WORK" && timeout 300 "$test" >"$OUT_DIR/$(basename "$test").log" 2>&1); then
    echo "   $(basename "$test"): ok"
  else
    echo "   $(basename "$test"): failed under xcb (see $(basename "$test").log)"
  fi
done
shopt -u nullglob

echo "== pelmora $WORK"
rm -f "$OUT_DIR"/start_*.png
"$PELMORA" "$WORK" &
APP_PID=$!
wait_for start_choose
if command -v xdotool >/dev/null; then
  # Keys go to the window that has the focus: each new window takes it.
  key() {
    xdotool key "$@"
    sleep 0.5
  }
  # No window manager: give the start dialog the keyboard by hand.
  xdotool windowfocus --sync "$(xdotool search --sync --onlyvisible --name '^Pelmora$' | head -n 1)"
  key Return          # OK: the list of models
  wait_for start_list
  key End Return      # the last model, opened by Select
  sleep 1
  key Escape          # closes the configuration window
  key Escape          # ends the program
  wait "$APP_PID" || true
else
  echo "   xdotool is missing: only the first window was taken"
fi
APP_PID=

ls -1 "$OUT_DIR"/*.png
