#!/bin/sh
# Fuzzes one target for a bounded time under ASan and UBSan.
#
#   fuzz/run.sh [SECONDS] [BUILD_DIR] [TARGET]
#
# SECONDS defaults to 60, BUILD_DIR to build-fuzz in the source tree, TARGET to
# fuzz_load; the build directory is configured with clang and built when needed (set
# PELMORA_FUZZ_NO_BUILD=1 to skip that). PELMORA_FUZZ_ARGS adds libFuzzer flags.
#
# The run starts from a fresh BUILD_DIR/corpus/TARGET made of the target's seeds
# (fuzz/seed/TARGET/; targets that read definition files also every .cfg file of
# examples/ and tests/data/) and its kept corpus (fuzz/corpus/TARGET/), with the
# dictionary for what it reads. Inputs that crash are written to
# BUILD_DIR/artifacts/TARGET/. Exits non-zero on a finding.
set -eu

seconds=${1:-60}
src=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$src/build-fuzz}
target=${3:-fuzz_load}

if [ "${PELMORA_FUZZ_NO_BUILD:-0}" != 1 ]; then
  if [ ! -f "$build/CMakeCache.txt" ]; then
    CXX=${CXX_FUZZ:-clang++} cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" \
      -DPELMORA_BUILD_FUZZ=ON -DPELMORA_SANITIZE=ON \
      -DPELMORA_BUILD_TESTS=OFF -DPELMORA_BUILD_BENCH=OFF
  fi
  cmake --build "$build" --target "$target" -j2
fi

# What a target reads decides its shared seeds and its dictionary: the targets that
# read whole definition files share the .cfg files and fuzz/cfg.dict.
case $target in
  fuzz_load | fuzz_listing | fuzz_save) input=cfg ;;
  *) input=$target ;;
esac
dict=$src/fuzz/$input.dict
if [ ! -f "$dict" ]; then
  echo "run.sh: $target has no dictionary $dict" >&2
  exit 2
fi

corpus=$build/corpus/$target
artifacts=$build/artifacts/$target
rm -rf "$corpus" "$artifacts"
mkdir -p "$corpus" "$artifacts"
if [ "$input" = cfg ]; then
  # Named after their path, so that files of the same name do not collide.
  for dir in examples tests/data; do
    find "$src/$dir" -type f -iname '*.cfg' | while read -r file; do
      cp "$file" "$corpus/$(printf '%s' "${file#"$src"/}" | tr '/' '_')"
    done
  done
fi
for dir in "$src/fuzz/seed/$target" "$src/fuzz/corpus/$target"; do
  if [ -d "$dir" ]; then
    cp "$dir"/* "$corpus"/ 2>/dev/null || true
  fi
done
echo "run.sh: $target from $(find "$corpus" -type f | wc -l) inputs"

# shellcheck disable=SC2086 # PELMORA_FUZZ_ARGS is a list of flags
exec "$build/fuzz/$target" "$corpus" \
  -dict="$dict" \
  -max_total_time="$seconds" \
  -timeout=10 \
  -rss_limit_mb=2048 \
  -artifact_prefix="$artifacts/" \
  -print_final_stats=1 \
  ${PELMORA_FUZZ_ARGS:-}
