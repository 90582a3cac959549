#!/usr/bin/env bash
# Sets Pelmora up on a fresh Debian 12 machine and runs it on the sample
# working folder examples/: installs what is missing, builds a Release tree in
# build/, then starts Pelmora there.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$ROOT/build
WORK_DIR=$ROOT/examples
CLI=$BUILD_DIR/src/cli/pelmora-cli

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

# Until the desktop application exists, Pelmora on the sample folder means
# showing every item of every sample model and saved configuration.
show_samples() {
  local files=() failed=() f
  shopt -s nullglob
  files=(model/*.cfg setting/*.cfg)
  shopt -u nullglob
  if [[ ${#files[@]} -eq 0 ]]; then
    echo "no .cfg files under $WORK_DIR/model or $WORK_DIR/setting" >&2
    return 1
  fi
  for f in "${files[@]}"; do
    printf '\n---- %s ----\n' "$f"
    "$CLI" show "$f" || failed+=("$f")
  done
  if [[ ${#failed[@]} -gt 0 ]]; then
    printf '\nfailed to show: %s\n' "${failed[*]}" >&2
    return 1
  fi
}

section "Dependencies"
bash "$ROOT/scripts/install-deps.sh"

section "Build ($BUILD_DIR, Release)"
configure "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release
cmake --build "$BUILD_DIR" -j2

section "Pelmora on $WORK_DIR"
# The working folder is the current directory: model/ and setting/ are found
# relative to it.
cd "$WORK_DIR"
show_samples
