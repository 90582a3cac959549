#!/usr/bin/env bash
# Builds the Debian package pelmora_VERSION_ARCH.deb in build-pkg/ (a Release tree
# without tests) and runs lintian on it.
#   scripts/package.sh          then: sudo apt install ./build-pkg/pelmora_*.deb
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=$ROOT/build-pkg

bash "$ROOT/scripts/install-deps.sh"
if ! command -v lintian >/dev/null 2>&1; then
  if [[ $(id -u) -eq 0 ]]; then
    apt-get install -y --no-install-recommends lintian
  else
    sudo apt-get install -y --no-install-recommends lintian
  fi
fi

gen=()
if [[ ! -f $BUILD/CMakeCache.txt ]] && command -v ninja >/dev/null 2>&1; then
  gen=(-G Ninja)
fi
cmake -S "$ROOT" -B "$BUILD" ${gen[@]+"${gen[@]}"} -DCMAKE_BUILD_TYPE=Release \
  -DPELMORA_BUILD_TESTS=OFF -DPELMORA_BUILD_BENCH=OFF
cmake --build "$BUILD" -j "$(nproc)"
(cd "$BUILD" && cpack -G DEB)

deb=$(ls "$BUILD"/pelmora_*.deb)
echo "package: $deb"
# The findings that remain are explained in README.md ("Installing").
lintian --info "$deb" || true
