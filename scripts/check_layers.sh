#!/usr/bin/env bash
# Fails when a file under src/ or sim/ includes a header of a layer that is not its
# own or below it, reaches out of its folder with "../", or, outside the views,
# includes Qt. The build enforces the same through each target's include root;
# this finds it without a build, and also in a file no target compiles yet.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"

# Each folder and the layers its files may include, its own first.
declare -A ALLOWED=(
  [src/log]="log"
  [src/model]="model log"
  [src/port]="port log"
  [src/protocol]="protocol model log"
  [src/update]="update protocol model port log"
  [src/app/logic]="app/logic update protocol model port log"
  [src/app]="app app/logic update protocol model port log"
  [src/cli]="cli update protocol model port log"
  [sim]="sim model port"
)
LAYERS=" log model port protocol update app cli sim "
QT_FOLDERS=" src/app "

errors=0
report() {
  printf '%s: %s\n' "$1" "$2" >&2
  errors=$((errors + 1))
}

while IFS= read -r file; do
  folder=$(dirname "$file")
  if [[ -z ${ALLOWED[$folder]+set} ]]; then
    report "$file" "folder $folder has no place in the layer map (scripts/check_layers.sh)"
    continue
  fi
  allowed=" ${ALLOWED[$folder]} "
  while IFS=: read -r line text; do
    [[ $text =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*([\"\<])([^\"\>]*) ]] || continue
    kind=${BASH_REMATCH[1]}
    header=${BASH_REMATCH[2]}
    if [[ $header == *..* ]]; then
      report "$file:$line" "\"$header\" reaches out of its folder; name it by its layer"
      continue
    fi
    if [[ $kind == '<' && $header =~ ^Q ]]; then
      [[ $QT_FOLDERS == *" $folder "* ]] || report "$file:$line" "<$header>: Qt belongs to the views in src/app"
      continue
    fi
    [[ $header == */* ]] || continue
    layer=${header%%/*}
    [[ $LAYERS == *" $layer "* ]] || continue
    [[ $header == app/logic/* ]] && layer=app/logic
    [[ $allowed == *" $layer "* ]] ||
      report "$file:$line" "\"$header\": $folder may include only ${ALLOWED[$folder]}"
  done < <(grep -n 'include' "$file" || true)
done < <(find src sim -type f \( -name '*.h' -o -name '*.cpp' \) | sort)

if ((errors > 0)); then
  echo "check_layers.sh: $errors include(s) break the layer map" >&2
  exit 1
fi
echo "check_layers.sh: every include keeps to the layer map"
