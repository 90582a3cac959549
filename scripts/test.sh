#!/usr/bin/env bash
# Builds and runs every test of Pelmora, as CI does:
#   0. the layer map (no file includes a header of a layer above its own) and
#      the formatting
#   1. build-ci/    warnings as errors, all tests (benchmarks built, not run),
#                   the installation into a staging folder, then clang-tidy over
#                   src/ and sim/
#   2. build-asan/  the tests again under AddressSanitizer + UndefinedBehaviorSanitizer
#   3. build-fuzz/  clang + libFuzzer: every fuzz target for a bounded time
# Environment:
#   PELMORA_FUZZ_SECONDS  seconds per fuzz target (default 60; a third for the small ones)
#   PELMORA_FUZZ_ARGS     extra libFuzzer flags, e.g. "-max_len=200000"
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"

JOBS=2
FUZZ_SECONDS=${PELMORA_FUZZ_SECONDS:-60}

CI_DIR=$ROOT/build-ci
ASAN_DIR=$ROOT/build-asan
FUZZ_DIR=$ROOT/build-fuzz

section() { printf '\n==== %s ====\n' "$*"; }
fail() {
  printf '\ntest.sh: FAILED: %s\n' "$*" >&2
  exit 1
}

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

# Runs ctest in a build tree and keeps its output for the summary. A tree
# without tests is an error: it would pass while testing nothing.
run_ctest() {
  local dir=$1
  ctest --test-dir "$dir" --output-on-failure -j "$JOBS" --timeout 600 \
    --no-tests=error 2>&1 | tee "$dir/ctest.log"
}

# "N" from ctest's "100% tests passed, 0 tests failed out of N".
ctest_count() {
  sed -n 's/.*tests failed out of \([0-9][0-9]*\).*/\1/p' "$1/ctest.log" | tail -n 1
}

section "Layer map"
bash scripts/check_layers.sh

section "Dependencies"
bash scripts/install-deps.sh

section "Formatting"
bash scripts/check_style.sh format

# ---------------------------------------------------------------------------
section "Build with warnings as errors ($CI_DIR)"
configure "$CI_DIR" -DCMAKE_BUILD_TYPE=Debug -DPELMORA_WERROR=ON \
  -DPELMORA_BUILD_TESTS=ON -DPELMORA_BUILD_BENCH=ON -DPELMORA_BUILD_FUZZ=OFF
cmake --build "$CI_DIR" -j "$JOBS"

section "Tests ($CI_DIR)"
run_ctest "$CI_DIR"

section "Staging install ($CI_DIR)"
bash scripts/check_install.sh "$CI_DIR"

section "clang-tidy over src/ and sim/"
JOBS=$JOBS bash scripts/check_style.sh tidy "$CI_DIR"

# ---------------------------------------------------------------------------
section "Build with ASan + UBSan ($ASAN_DIR)"
configure "$ASAN_DIR" -DCMAKE_BUILD_TYPE=Debug -DPELMORA_SANITIZE=ON -DPELMORA_WERROR=ON \
  -DPELMORA_BUILD_TESTS=ON -DPELMORA_BUILD_BENCH=OFF -DPELMORA_BUILD_FUZZ=OFF
cmake --build "$ASAN_DIR" -j "$JOBS"

section "Tests under ASan + UBSan ($ASAN_DIR)"
export ASAN_OPTIONS=detect_leaks=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_ctest "$ASAN_DIR"

# ---------------------------------------------------------------------------
section "Build fuzz targets with clang ($FUZZ_DIR)"
# A tree first configured with another compiler cannot be switched in place.
if [[ -f $FUZZ_DIR/CMakeCache.txt ]] &&
  ! grep -q '^CMAKE_CXX_COMPILER:[A-Z]*=.*clang++' "$FUZZ_DIR/CMakeCache.txt"; then
  rm -rf "$FUZZ_DIR"
fi
# -O1 with assertions kept: fast enough to explore, and asserts stay oracles.
# fuzzer-no-link gives every target coverage instrumentation, the library
# under test included; without it libFuzzer would mutate blindly.
CXX=clang++ configure "$FUZZ_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" \
  -DPELMORA_BUILD_FUZZ=ON -DPELMORA_SANITIZE=ON \
  -DPELMORA_BUILD_TESTS=OFF -DPELMORA_BUILD_BENCH=OFF
cmake --build "$FUZZ_DIR" -j "$JOBS"

mapfile -t FUZZERS < <(find "$FUZZ_DIR/fuzz" -maxdepth 1 -type f -executable -name 'fuzz_*' 2>/dev/null | sort)
[[ ${#FUZZERS[@]} -gt 0 ]] || fail "no fuzz_* executable was built under $FUZZ_DIR/fuzz"

# Each target starts from its seeds and its kept, minimised corpus (fuzz/run.sh
# knows which, and which dictionary). The small targets (a file's listing lines, a
# name, a settings file) reach all their coverage within seconds and get a third of the time.
FUZZ_RESULTS=()
for fuzzer in "${FUZZERS[@]}"; do
  name=$(basename "$fuzzer")
  seconds=$FUZZ_SECONDS
  case $name in
    fuzz_listing | fuzz_save_name | fuzz_settings) seconds=$(((FUZZ_SECONDS + 2) / 3)) ;;
  esac
  section "Fuzzing $name for ${seconds}s"
  artifacts=$FUZZ_DIR/artifacts/$name
  fuzz_log=$FUZZ_DIR/$name.log

  # The log holds every new-coverage line; show only the end unless it failed.
  status=0
  PELMORA_FUZZ_NO_BUILD=1 \
    fuzz/run.sh "$seconds" "$FUZZ_DIR" "$name" >"$fuzz_log" 2>&1 || status=$?
  head -n 1 "$fuzz_log"
  if [[ $status -ne 0 ]]; then
    tail -n 80 "$fuzz_log"
    echo
    echo "crashing inputs:"
    ls -l "$artifacts" || true
    fail "$name exited with $status (full log: $fuzz_log)"
  fi
  tail -n 12 "$fuzz_log"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$fuzz_log" | tail -n 1)
  FUZZ_RESULTS+=("$name: ${seconds}s, ${runs:-?} runs, no crash")
done

# ---------------------------------------------------------------------------
section "Summary"
echo "ASan + UBSan ($ASAN_DIR): all $(ctest_count "$ASAN_DIR") tests passed"
printf '%s\n' "${FUZZ_RESULTS[@]}"
echo "Warnings as errors ($CI_DIR):"
# ctest's own closing lines last: CI counts the tests from them.
sed -n '/tests passed, /,$p' "$CI_DIR/ctest.log"
