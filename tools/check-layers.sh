#!/usr/bin/env bash
# Fails when a file under src/ includes a header of a layer above its own.
# Layers, bottom up; folders on one line are one layer and may include each
# other. A folder missing here is an error, so a new folder gets a place.
#
#   tools/check-layers.sh [SRC_DIR]
set -euo pipefail

src=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/src}

layers=(
  "core"
  "framework"
  "platform"
  "logging"
  "cabinet"
  "payload checks"
  "launch"
  "ui"
  "app"
)

declare -A level
for i in "${!layers[@]}"; do
  for folder in ${layers[$i]}; do level[$folder]=$i; done
done

status=0
while IFS= read -r -d '' file; do
  rel=${file#"$src"/}
  own=${rel%%/*}
  if [ -z "${level[$own]+x}" ]; then
    echo "$rel: folder '$own' has no layer in tools/check-layers.sh" >&2
    status=1
    continue
  fi
  # Quoted includes name a header by its folder under src/ ("cabinet/X.h");
  # "../ui/X" in resource scripts is resolved the same way.
  while IFS=: read -r line target; do
    target=${target#../}
    folder=${target%%/*}
    [ "$folder" = "$target" ] && continue  # same folder, no path
    if [ -z "${level[$folder]+x}" ]; then
      echo "$rel:$line: includes \"$target\" from a folder with no layer" >&2
      status=1
    elif [ "${level[$folder]}" -gt "${level[$own]}" ]; then
      echo "$rel:$line: includes \"$target\" from $folder, a layer above $own" >&2
      status=1
    fi
  done < <(awk 'match($0, /^[ \t]*#[ \t]*include[ \t]*"[^"]*"/) {
                  t = substr($0, RSTART, RLENGTH); sub(/^[^"]*"/, "", t); sub(/"$/, "", t)
                  print FNR ":" t }' "$file")
done < <(find "$src" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.rc' \) -print0)

if [ $status -eq 0 ]; then echo "layers: no upward include under $src"; fi
exit $status
