#!/bin/bash
# Folders include only folders below them (or their own): a lower layer that
# reached up would tie the portable core to the plug-in's composition.
cd "${1:-$(dirname "$0")/..}" || exit 2
declare -A rank=([host_api]=0 [resources]=0 [util]=1 [device]=2 [cddb]=3 [rip]=4 [accuraterip]=4 [input]=5 [ui]=6
                 [plugin]=7 [companion]=7)
status=0
for dir in "${!rank[@]}"; do
  [[ -d $dir ]] || continue
  while IFS=: read -r file line target; do
    to=${target#*\"}; to=${to%%/*}
    [[ -n ${rank[$to]+x} ]] || continue
    if (( rank[$to] > rank[$dir] )) || { [[ $to != "$dir" ]] && (( rank[$to] == rank[$dir] && rank[$dir] > 0 )); }; then
      echo "$file:$line includes $to/ from $dir/" >&2
      status=1
    fi
  done < <(grep -rnE '^#include "[a-z_]+/' "$dir")
done
exit $status
