# Sourced by the scripts that run Pelmora on a virtual X display.
#
# start_xvfb FIRST: starts Xvfb on the first free display number from FIRST up and
# waits (at most 5 s) until it listens. Sets DISPLAY_NUMBER and XVFB_PID; the caller
# kills XVFB_PID when done.
start_xvfb() {
  DISPLAY_NUMBER=$1
  while [[ -e /tmp/.X11-unix/X$DISPLAY_NUMBER || -e /tmp/.X$DISPLAY_NUMBER-lock ]]; do
    DISPLAY_NUMBER=$((DISPLAY_NUMBER + 1))
  done
  Xvfb ":$DISPLAY_NUMBER" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do
    [[ -e /tmp/.X11-unix/X$DISPLAY_NUMBER ]] && return 0
    sleep 0.05
  done
}
