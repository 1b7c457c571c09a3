#!/usr/bin/env bash
# Checks that the program's #includes only point down the layer order of the top-level
# CMakeLists.txt (TAVOPIX_LAYERS, lowest first): a file of one layer may include its own layer
# and the layers before it, never one after it, and albumd (server/) and the program include
# nothing of each other. Prints, for every layer, the layers it includes and how often; each
# include that points up is listed as "file:line: layer -> layer" and fails the check.
#
#   scripts/check-layers.sh [SOURCE_DIR]     (default: this repository)
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

layers=$(sed -n 's/^set(TAVOPIX_LAYERS \(.*\))$/\1/p' CMakeLists.txt)
if [[ -z $layers ]]; then
  echo "check-layers: no set(TAVOPIX_LAYERS ...) line in CMakeLists.txt" >&2
  exit 2
fi
for layer in $layers; do
  if [[ ! -f $layer/CMakeLists.txt ]]; then
    echo "check-layers: layer $layer has no $layer/CMakeLists.txt" >&2
    exit 2
  fi
done

# Every quoted include of the program's and albumd's sources, as "file:line:included path".
find $layers server -type f \( -name '*.cpp' -o -name '*.h' \) | sort -u |
  xargs -r grep -nHE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"' |
  sed -E 's/^([^:]*:[0-9]+):[[:space:]]*#[[:space:]]*include[[:space:]]+"([^"]*)".*/\1:\2/' |
  awk -v layers="$layers" '
    BEGIN {
      count = split(layers, order, " ")
      for (i = 1; i <= count; ++i) rank[order[i]] = i
      order[count + 1] = "server"
      rank["server"] = count + 1
    }
    # The layer a path lies in: the longest layer folder it starts with ("app/startup/x.h" is
    # in app/startup, not app).
    function layer_of(path,    best, name) {
      best = ""
      for (name in rank)
        if (index(path, name "/") == 1 && length(name) > length(best)) best = name
      return best
    }
    {
      split($0, part, ":")
      file = part[1]; line = part[2]; included = part[3]
      from = layer_of(file)
      to = layer_of(included)
      if (to == "") next  # a header beside the file, or one of a library
      uses[from, to]++
      up = from == "server" || to == "server" ? from != to : rank[to] > rank[from]
      if (up) {
        printf "%s:%s: %s -> %s (\"%s\")\n", file, line, from, to, included
        ++wrong
      }
    }
    END {
      for (i = 1; i <= count + 1; ++i) {
        text = ""
        for (j = 1; j <= count + 1; ++j)
          if (i != j && uses[order[i], order[j]]) text = text " " order[j] "(" uses[order[i], order[j]] ")"
        printf "%-12s includes%s\n", order[i], text == "" ? " nothing else" : text
      }
      if (wrong) {
        printf "check-layers: %d include(s) point up the layer order\n", wrong
        exit 1
      }
      print "check-layers: every include points down the layer order"
    }'
