#!/bin/sh
# Fuzzes the definition-file reader for a bounded time under ASan and UBSan.
#
#   fuzz/run.sh [SECONDS] [BUILD_DIR]
#
# SECONDS defaults to 60, BUILD_DIR to build-fuzz in the source tree; the build
# directory is configured with clang and built when needed (set
# PELMORA_FUZZ_NO_BUILD=1 to skip that). The corpus grows in BUILD_DIR/fuzz-corpus,
# seeded from every .cfg file of examples/, tests/data/ and fuzz/seed/; inputs that
# crash are written to BUILD_DIR/fuzz-artifacts/. Exits non-zero on a finding.
set -eu

seconds=${1:-60}
src=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$src/build-fuzz}

if [ "${PELMORA_FUZZ_NO_BUILD:-0}" != 1 ]; then
  if [ ! -f "$build/CMakeCache.txt" ]; then
    CXX=${CXX_FUZZ:-clang++} cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DPELMORA_BUILD_FUZZ=ON -DPELMORA_BUILD_TESTS=OFF -DPELMORA_BUILD_BENCH=OFF
  fi
  cmake --build "$build" --target fuzz_load -j2
fi

corpus=$build/fuzz-corpus
artifacts=$build/fuzz-artifacts
mkdir -p "$corpus" "$artifacts"
# Seeds are named after their path so that files of the same name do not collide.
for dir in examples tests/data fuzz/seed; do
  [ -d "$src/$dir" ] || continue
  find "$src/$dir" -type f -name '*.cfg' | while read -r file; do
    name=$(printf '%s' "${file#"$src"/}" | tr '/' '_')
    cp "$file" "$corpus/seed_$name"
  done
done

exec "$build/fuzz/fuzz_load" "$corpus" \
  -dict="$src/fuzz/cfg.dict" \
  -max_total_time="$seconds" \
  -timeout=10 \
  -max_len=8192 \
  -artifact_prefix="$artifacts/" \
  -print_final_stats=1
