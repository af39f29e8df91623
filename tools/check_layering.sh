#!/usr/bin/env bash
# Checks the runtime's layering: each folder of runtime/ includes only itself
# and the folders below it, in this order (lowest first), and none includes
# tools/ or tests/. Prints each include that reaches up and exits 1 if there
# is one. A service that a lower folder needs from above is called through a
# hook that the top (runtime/program) fills, never through an include.
#
#   bash tools/check_layering.sh
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

order=(platform control fluids modeldata output thermal fluidloop casedata parameters program)

status=0
for ((i = 0; i < ${#order[@]}; i++)); do
  above=("${order[@]:i+1}")
  pattern="#include \"(tools|tests)/"
  if ((${#above[@]})); then
    pattern="#include \"(runtime/($(IFS='|'; echo "${above[*]}"))|tools|tests)/"
  fi
  while IFS= read -r hit; do
    echo "reaches up: $hit"
    status=1
  done < <(grep -rnE "$pattern" "runtime/${order[i]}" || true)
done
# Every runtime folder has its place in the order.
for dir in runtime/*/; do
  name=$(basename "$dir")
  [[ " ${order[*]} " == *" $name "* ]] || { echo "runtime/$name has no place in the layering"; status=1; }
done
exit $status
