#!/usr/bin/env bash
# Style checks that CI runs:
#   check_style.sh format            every C++ file as .clang-format wants it
#   check_style.sh tidy BUILD_DIR    .clang-tidy's checks over src/ and sim/, with
#                                    BUILD_DIR's compile_commands.json (build it first:
#                                    the Qt views include generated files)
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"

case ${1:-} in
  format)
    # git ls-files: only what is checked in, never a build tree's generated code.
    git ls-files -z '*.h' '*.cpp' | xargs -0 clang-format --dry-run -Werror
    echo "check_style: formatting clean"
    ;;
  tidy)
    build=${2:?usage: check_style.sh tidy BUILD_DIR}
    [[ -f $build/compile_commands.json ]] || {
      echo "check_style: no $build/compile_commands.json" >&2
      exit 1
    }
    # Anchored at the repository root, so the build tree's own src/ (moc output) stays out.
    run-clang-tidy -p "$build" -quiet -j "${JOBS:-2}" "^$ROOT/(src|sim)/.*\.cpp\$"
    echo "check_style: tidy clean"
    ;;
  *)
    echo "usage: check_style.sh format | tidy BUILD_DIR" >&2
    exit 2
    ;;
esac
