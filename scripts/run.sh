#!/usr/bin/env bash
# Sets Pelmora up on a fresh Debian 12 machine and runs it on the sample
# working folder examples/: installs what is missing, builds a Release tree in
# build/, then starts the desktop application on it.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$ROOT/build
WORK_DIR=$ROOT/examples
APP=$BUILD_DIR/src/app/pelmora

section() { printf '\n==== %s ====\n' "$*"; }

# Configures a build tree. Ninja is used for a new tree when it is there; an
# existing tree keeps the generator it was made with (CMake refuses a change).
configure() {
  local dir=$1
  shift
  local gen=()
  if [[ ! -f $dir/CMakeCache.txt ]] && command -v ninja >/dev/null 2>&1; then
    gen=(-G Ninja)
  fi
  cmake -S "$ROOT" -B "$dir" ${gen[@]+"${gen[@]}"} "$@"
}

section "Dependencies"
bash "$ROOT/scripts/install-deps.sh"

section "Build ($BUILD_DIR, Release)"
configure "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release
cmake --build "$BUILD_DIR" -j2

section "Pelmora on $WORK_DIR"
# Without a display there is no window to show; say so instead of failing obscurely.
if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} && -z ${QT_QPA_PLATFORM:-} ]]; then
  echo "No display found (DISPLAY is not set): run this from a desktop session." >&2
  exit 1
fi
exec "$APP" "$WORK_DIR"
