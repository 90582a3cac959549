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
# Debian's hardening, but for _FORTIFY_SOURCE (see data/lintian-overrides); no compiler
# ident in the binaries.
cmake -S "$ROOT" -B "$BUILD" ${gen[@]+"${gen[@]}"} -DCMAKE_BUILD_TYPE=Release \
  -DPELMORA_BUILD_TESTS=OFF -DPELMORA_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="-fstack-protector-strong -fstack-clash-protection -fcf-protection -fno-ident" \
  -DCMAKE_EXE_LINKER_FLAGS="-Wl,-z,relro -Wl,-z,now"
cmake --build "$BUILD" -j "$(nproc)"
(cd "$BUILD" && cpack -G DEB)

deb=$(ls "$BUILD"/pelmora_*.deb)
echo "package: $deb"
# Every finding is fixed or explained in data/lintian-overrides.
lintian --info --pedantic "$deb"
