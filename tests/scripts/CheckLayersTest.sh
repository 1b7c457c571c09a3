#!/usr/bin/env bash
# scripts/check-layers.sh on a small tree of its own: includes down the order and within a layer
# pass, one include up the order fails and is named, and a layer without its folder is refused.
set -euo pipefail
check=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree"/{low,high/top,server}
echo 'set(TAVOPIX_LAYERS low high high/top)' > "$tree/CMakeLists.txt"
touch "$tree"/{low,high,high/top}/CMakeLists.txt
printf '#include "low/A.h"\n' > "$tree/low/B.h"
printf '#include "low/A.h"\n#include <vector>\n' > "$tree/high/C.cpp"
printf '#include "high/C.h"\n#include "Local.h"\n' > "$tree/high/top/D.cpp"
"$check" "$tree" > "$tree/out"
grep -q 'every include points down' "$tree/out"

printf '#include "high/top/D.h"\n' > "$tree/high/E.h"
printf '#include "low/A.h"\n' > "$tree/server/F.cpp"
if "$check" "$tree" > "$tree/out"; then
  echo "an include up the order passed"; exit 1
fi
grep -q '^high/E.h:1: high -> high/top' "$tree/out"
grep -q '^server/F.cpp:1: server -> low' "$tree/out"
grep -q '2 include(s) point up' "$tree/out"

echo 'set(TAVOPIX_LAYERS low missing)' > "$tree/CMakeLists.txt"
if "$check" "$tree" 2> "$tree/err"; then
  echo "a missing layer passed"; exit 1
fi
grep -q 'layer missing has no' "$tree/err"
echo "check-layers: passes, refusals and a missing layer as expected"
