#!/usr/bin/env bash
# Resident memory of the desktop program with the generated big model open and its
# Advanced page shown, on a virtual X display. Run by hand.
#
#   bench/app_memory.sh [BUILD_DIR]      (default: build-rel/)
#
# Needs Xvfb and xdotool (packages xvfb, xdotool); no window manager runs, so windows
# sit where the program puts them.
# The program runs on a working folder whose model/ holds only the generated model
# (BUILD_DIR/bench/pelmora-gen-model); keys choose it in the start dialog and a click
# on the Advanced tab and Return on its administrator warning show the Advanced page. The windows tell when they are shown by saving their
# screenshots (PELMORA_SCREENSHOT_DIR). Prints VmRSS and VmHWM from /proc at the start
# dialog, on the Basic page and on the Advanced page, and again after a pause, then the
# mappings that hold the most of it.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$(cd "${1:-$ROOT/build-rel}" && pwd)
PELMORA=$BUILD_DIR/src/app/pelmora
GEN=$BUILD_DIR/bench/pelmora-gen-model
for tool in "$PELMORA" "$GEN"; do
  [[ -x $tool ]] || {
    echo "app_memory.sh: $tool is missing; build first" >&2
    exit 1
  }
done
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || {
    echo "app_memory.sh: $tool is missing (apt-get install xvfb xdotool)" >&2
    exit 1
  }
done

WORK=$(mktemp -d)
mkdir -p "$WORK/model" "$WORK/setting" "$WORK/shots"
"$GEN" "$WORK/model/BIG.cfg"

source "$ROOT/scripts/xvfb.sh"
start_xvfb 90
APP_PID=
cleanup() {
  [[ -n $APP_PID ]] && kill "$APP_PID" 2>/dev/null || true
  kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT
export DISPLAY=:$DISPLAY_NUMBER QT_QPA_PLATFORM=xcb PELMORA_SCREENSHOT_DIR=$WORK/shots
# The log and the settings of this machine stay out of it.
export PELMORA_SETTINGS= XDG_STATE_HOME=$WORK/.state

# Waits until the window named $1 has saved its screenshot (at most $2 tries of 0.1 s).
shown() {
  for _ in $(seq "${2:-100}"); do
    [[ -s $WORK/shots/$1.png ]] && return 0
    sleep 0.1
  done
  return 1
}
memory() {
  printf '%-16s %s\n' "$1" "$(grep -E '^(VmRSS|VmHWM|RssAnon|RssFile)' "/proc/$APP_PID/status" |
    awk '{printf "%s %6.1f MB  ", $1, $2 / 1024}')"
}

"$PELMORA" "$WORK" >"$WORK/pelmora.log" 2>&1 &
APP_PID=$!
shown start_choose || {
  echo "app_memory.sh: the start dialog did not show" >&2
  exit 1
}
sleep 0.5
memory "start dialog"
start=$(xdotool search --sync --onlyvisible --name '^Pelmora$' | head -n 1)
xdotool windowfocus --sync "$start" 2>/dev/null || true
xdotool key Return # OK: the list of models
shown start_list || {
  echo "app_memory.sh: the list of models did not show" >&2
  exit 1
}
# The list takes the keyboard once it is laid out: try until the window opens.
for _ in $(seq 10); do
  xdotool windowfocus --sync "$start" 2>/dev/null || true
  sleep 0.5
  xdotool key End
  sleep 0.3
  xdotool key Return # Select
  shown config_basic 50 && break
done
shown config_basic 1 || {
  echo "app_memory.sh: the configuration window did not open" >&2
  exit 1
}
sleep 1
memory "Basic page"
config=$(xdotool search --onlyvisible --name '^Pelmora$' | tail -n 1)
# The Advanced tab, as it lies in the window (see the config_basic screenshot); the
# page shows once its warning has been answered.
for _ in $(seq 10); do
  xdotool mousemove --sync --window "$config" 110 76 click 1
  for _ in $(seq 30); do
    warning=$(xdotool search --onlyvisible --name '^Warning$' 2>/dev/null | head -n 1) || true
    [[ -n $warning ]] && break
    sleep 0.1
  done
  if [[ -n $warning ]]; then
    xdotool windowfocus --sync "$warning" 2>/dev/null || true
    xdotool key Return
  fi
  shown config_advanced 30 && break
done
shown config_advanced 1 || {
  echo "app_memory.sh: the Advanced page did not show" >&2
  exit 1
}
sleep 1
memory "Advanced page"
sleep 3
memory "after 3 s"
echo "largest resident mappings (MB):"
awk '/^[0-9a-f]+-[0-9a-f]+ / { name = NF >= 6 ? $6 : "[anonymous]" }
     /^Rss:/ { rss[name] += $2 }
     END { for (n in rss) printf "%8.1f  %s\n", rss[n] / 1024, n }' "/proc/$APP_PID/smaps" |
  sort -rn | head -n 15
