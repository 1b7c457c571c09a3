#!/usr/bin/env bash
# scripts/check-layers.sh on a small tree of its own: includes down the layers to linked ones pass
# in every form; each form of a wrong include fails and is named; a layer without its folder is
# refused.
set -euo pipefail
check=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
cd "$tree"

# low <- mid <- mid/plugin (a sub-folder with a library of its own) <- high <- high/top. mid keeps
# low to itself (PRIVATE), so high reaches mid and mid/plugin but not low.
mkdir -p low/internal mid/plugin high/top server
echo 'set(TAVOPIX_LAYERS low mid high high/top)' > CMakeLists.txt
echo 'add_library(t_low STATIC A.cpp)' > low/CMakeLists.txt
printf 'add_library(t_mid STATIC M.cpp)\ntarget_link_libraries(t_mid\n  PRIVATE t_low)  # kept\n' \
  > mid/CMakeLists.txt
printf 'add_library(t_plugin STATIC P.cpp)\ntarget_link_libraries(t_plugin PUBLIC t_mid)\n' \
  > mid/plugin/CMakeLists.txt
printf 'add_library(t_high STATIC H.cc)\ntarget_link_libraries(t_high PUBLIC t_plugin)\n' \
  > high/CMakeLists.txt
printf 'add_library(t_top STATIC T.cpp)\ntarget_link_libraries(t_top PUBLIC t_high)\n%s\n%s\n' \
  'add_executable(prog main.cpp)' 'target_link_libraries(prog PRIVATE t_top)' > high/top/CMakeLists.txt
touch low/A.h low/internal/I.h mid/M.h mid/plugin/P.h high/H.h high/H.hpp
printf '#include "low/A.h"\n#include "internal/I.h"\n' > low/B.h
printf '#include <low/A.h>\n#include "M.h"\n#include <vector>\n' > mid/M.cpp
printf '#include "../M.h"\n#include "P.h"\n' > mid/plugin/P.cpp
printf '#include "mid/plugin/P.h"\n#include <mid/M.h>\n' > high/H.cc
printf '#include "high/H.h"\n#include "../H.hpp"\n#include "mid/M.h"\n' > high/top/main.cpp
printf '#include "Local.h"\n' > server/Local.cpp
"$check" "$tree" > out || { cat out; echo "a tree of right includes failed"; exit 1; }
grep -q 'every include points down' out
grep -q '^mid/plugin  *includes mid(1)$' out ||
  { cat out; echo "mid/plugin is not a layer of its own"; exit 1; }

# One wrong include of each form, each named with its reason.
printf '#include "high/top/T.h"\n' > high/E.h
printf '#include <mid/M.h>\n' > low/C.hpp
printf '#include "../high/H.h"\n' > mid/R.cc
printf '#include "plugin/P.h"\n' > mid/S.cpp
printf '#include "low/A.h"\n' > high/L.cpp
printf '#include "low/A.h"\n' > server/F.cpp
printf '#include "low/internal/I.h"\n' > mid/I.cpp
if "$check" "$tree" > out; then
  echo "wrong includes passed"; exit 1
fi
expect() {
  grep -qF "$1" out || { cat out; echo "not named: $1"; exit 1; }
}
expect 'high/E.h:1: high -> high/top ("high/top/T.h"): up the layer order'
expect 'low/C.hpp:1: low -> mid (<mid/M.h>): up the layer order'
expect 'mid/R.cc:1: mid -> high ("../high/H.h"): up the layer order'
expect 'mid/S.cpp:1: mid -> mid/plugin ("plugin/P.h"): up the layer order'
expect 'high/L.cpp:1: high -> low ("low/A.h"): low is not among the link libraries of high'
expect 'server/F.cpp:1: server -> low ("low/A.h"): albumd and the program share nothing'
expect 'mid/I.cpp:1: mid -> low ("low/internal/I.h"): an internal header of low'
expect '7 include(s) point where'

echo 'set(TAVOPIX_LAYERS low missing)' > CMakeLists.txt
if "$check" "$tree" 2> err; then
  echo "a missing layer passed"; exit 1
fi
grep -q 'layer missing has no' err
echo "check-layers: right includes pass, each wrong form is named, a missing layer is refused"
