#!/usr/bin/env bash
# Checks the runtime's layering: each folder of runtime/ includes only itself
# and the folders below it, in this order (lowest first), and none includes
# tools/ or tests/. Prints each include that reaches up and exits 1 if there
# is one that is not among the known exceptions below.
#
#   bash tools/check_layering.sh
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

order=(platform control fluids modeldata output thermal fluidloop casedata parameters)

# Files that still reach up: the start-up and parameter-case drivers and the
# model program's header name every subsystem they drive; messages and status
# texts name entities through the model tree; the dump walks the node groups;
# the MDB load reads the ACD file's arrays; SOLCYC runs the fluid loops.
exceptions=(
  runtime/control/messages.cpp
  runtime/control/model_program.h
  runtime/control/param_loop.cpp
  runtime/control/startup.cpp
  runtime/control/state_dump.cpp
  runtime/control/status.cpp
  runtime/modeldata/mdb_loader.cpp
  runtime/modeldata/mdb_sections.cpp
  runtime/thermal/cyclic.cpp
)

status=0
for ((i = 0; i < ${#order[@]}; i++)); do
  above=("${order[@]:i+1}")
  pattern="#include \"(tools|tests)/"
  if ((${#above[@]})); then
    pattern="#include \"(runtime/($(IFS='|'; echo "${above[*]}"))|tools|tests)/"
  fi
  while IFS= read -r hit; do
    file=${hit%%:*}
    known=0
    for e in "${exceptions[@]}"; do [ "$file" = "$e" ] && known=1; done
    if ((known)); then
      continue
    fi
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
