#!/usr/bin/env bash
# Checks that the program's #includes only point down the layers. The layers are the folders of
# TAVOPIX_LAYERS in the top-level CMakeLists.txt, lowest first, plus every sub-folder of one that
# builds a target of its own (engine/browser), which stands just above its parent. A file of one
# layer may include a header of another only when
#   - that layer comes before its own in the order, and
#   - one of its own folder's targets links that layer's target (target_link_libraries in the
#     layer's CMakeLists.txt, directly or through a PUBLIC link), so what compiles also links;
# albumd (server/) and the program include nothing of each other, and a header in a folder named
# internal/ belongs to its layer alone.
#
# Every include form is read, in every C and C++ source and header (.c .cc .cpp .cxx .h .hh .hpp
# .hxx .inl .ipp): "layer/x.h" and <layer/x.h> from the source root, and a quoted path beside the
# file or relative to it ("x.h", "sub/x.h", "../layer/x.h") where the compiler would find it
# there. Prints, for every layer, the layers it includes and how often; each wrong include is
# listed as "file:line: layer -> layer ("path"): why" and fails the check.
#
#   scripts/check-layers.sh [SOURCE_DIR]     (default: this repository)
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

listed=$(sed -n 's/^set(TAVOPIX_LAYERS \(.*\))$/\1/p' CMakeLists.txt)
if [[ -z $listed ]]; then
  echo "check-layers: no set(TAVOPIX_LAYERS ...) line in CMakeLists.txt" >&2
  exit 2
fi
for layer in $listed; do
  if [[ ! -f $layer/CMakeLists.txt ]]; then
    echo "check-layers: layer $layer has no $layer/CMakeLists.txt" >&2
    exit 2
  fi
done

# The listed layer a folder lies in: the longest one its path starts with.
listed_parent() {
  local best= layer
  for layer in $listed; do
    [[ $1 == "$layer"/* && ${#layer} -gt ${#best} ]] && best=$layer
  done
  echo "$best"
}

# The order, with each sub-folder that builds a target of its own right after its parent.
order=()
for layer in $listed; do
  order+=("$layer")
  while read -r cmakelists; do
    folder=${cmakelists%/CMakeLists.txt}
    [[ " $listed " == *" $folder "* ]] && continue
    [[ $(listed_parent "$folder") == "$layer" ]] || continue
    grep -qE '^[[:space:]]*add_(library|executable)[[:space:]]*\(' "$cmakelists" && order+=("$folder")
  done < <(find "$layer" -mindepth 2 -name CMakeLists.txt | sort)
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Each layer's CMakeLists.txt, headed by "== layer", for the targets and their links.
for layer in "${order[@]}"; do
  echo "== $layer"
  cat "$layer/CMakeLists.txt"
done > "$work/cmake"
[[ -d server ]] && server=server || server=
find "${order[@]}" $server -type f \
  \( -name '*.c' -o -name '*.cc' -o -name '*.cpp' -o -name '*.cxx' -o -name '*.h' -o -name '*.hh' \
     -o -name '*.hpp' -o -name '*.hxx' -o -name '*.inl' -o -name '*.ipp' \) | sort -u > "$work/files"
# Every include as "file:line:<path>" or "file:line:"path"" (the delimiter kept).
xargs -r grep -nHE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' < "$work/files" |
  sed -E 's/^([^:]*:[0-9]+):[[:space:]]*#[[:space:]]*include[[:space:]]*([<"][^">]*[">]).*/\1:\2/' \
  > "$work/includes" || true

awk -v layers="${order[*]}" '
  BEGIN {
    count = split(layers, order, " ")
    for (i = 1; i <= count; ++i) rank[order[i]] = i
    order[count + 1] = "server"
    rank["server"] = count + 1
  }

  # The CMake files: each layer'"'"'s text, comments dropped, as one line.
  FILENAME == ARGV[1] {
    if ($0 ~ /^== /) { current = substr($0, 4); next }
    sub(/#.*/, "")
    cmake[current] = cmake[current] " " $0
    next
  }
  FILENAME == ARGV[2] { exists[$0] = 1; next }

  !linked { read_links(); linked = 1 }

  {
    # "file:line:<delimited path>"; the path may not hold a colon, the file name may not either.
    first = index($0, ":")
    file = substr($0, 1, first - 1)
    rest = substr($0, first + 1)
    second = index(rest, ":")
    line = substr(rest, 1, second - 1)
    written = substr(rest, second + 1)
    included = substr(written, 2, length(written) - 2)
    from = layer_of(file)
    target = resolve(file, substr(written, 1, 1), included)
    to = layer_of(target)
    if (from == "" || to == "" || from == to) next
    uses[from, to]++
    why = ""
    if (from == "server" || to == "server") why = "albumd and the program share nothing"
    else if (target ~ /(^|\/)internal\//) why = "an internal header of " to
    else if (rank[to] > rank[from]) why = "up the layer order"
    else if (!((from, to) in allowed)) why = to " is not among the link libraries of " from
    if (why != "") {
      printf "%s:%s: %s -> %s (%s): %s\n", file, line, from, to, written, why
      ++wrong
    }
  }

  END {
    if (!linked) read_links()
    for (i = 1; i <= count + 1; ++i) {
      text = ""
      for (j = 1; j <= count + 1; ++j)
        if (i != j && uses[order[i], order[j]]) text = text " " order[j] "(" uses[order[i], order[j]] ")"
      printf "%-15s includes%s\n", order[i], text == "" ? " nothing else" : text
    }
    if (wrong) {
      printf "check-layers: %d include(s) point where their layer may not reach\n", wrong
      exit 1
    }
    print "check-layers: every include points down the layers and to a linked one"
  }

  # The targets each layer builds, and what each target links: all of its libraries (links),
  # and those it passes on to its users (passed: PUBLIC, INTERFACE or the plain signature).
  function read_links(    i, layer, text, name, body, words, n, w, mode, target) {
    for (i = 1; i <= count; ++i) {
      layer = order[i]
      text = cmake[layer]
      while (match(text, /add_(library|executable)[ \t]*\([ \t]*[^ \t)]+/)) {
        name = substr(text, RSTART, RLENGTH)
        sub(/^[^(]*\([ \t]*/, "", name)
        folder[name] = layer
        targets[layer] = targets[layer] " " name
        text = substr(text, RSTART + RLENGTH)
      }
      text = cmake[layer]
      while (match(text, /target_link_libraries[ \t]*\([^)]*\)/)) {
        body = substr(text, RSTART, RLENGTH - 1)
        sub(/^[^(]*\(/, "", body)
        text = substr(text, RSTART + RLENGTH)
        n = split(body, words, /[ \t]+/)
        target = ""
        mode = "PUBLIC"
        for (w = 1; w <= n; ++w) {
          if (words[w] == "") continue
          if (target == "") { target = words[w]; continue }
          if (words[w] ~ /^(PUBLIC|PRIVATE|INTERFACE|LINK_PUBLIC|LINK_PRIVATE)$/) {
            mode = words[w]
            continue
          }
          links[target] = links[target] " " words[w]
          if (mode !~ /PRIVATE/) passed[target] = passed[target] " " words[w]
        }
      }
    }
    for (i = 1; i <= count; ++i) {
      layer = order[i]
      n = split(targets[layer], words, " ")
      for (w = 1; w <= n; ++w) reach_all(layer, links[words[w]])
    }
  }

  # Marks the layers of the targets in list (and of what they pass on) as reachable from layer.
  function reach_all(layer, list,    names, n, k) {
    n = split(list, names, " ")
    for (k = 1; k <= n; ++k) {
      if ((layer, names[k]) in seen) continue
      seen[layer, names[k]] = 1
      if (names[k] in folder) allowed[layer, folder[names[k]]] = 1
      reach_all(layer, passed[names[k]])
    }
  }

  # The layer a path lies in: the longest layer folder it starts with ("startup/x.h" is in
  # app/startup, not app).
  function layer_of(path,    best, name) {
    best = ""
    for (name in rank)
      if (index(path, name "/") == 1 && length(name) > length(best)) best = name
    return best
  }

  # The source-root path an include names, as the compiler finds it: a quoted path first beside
  # the including file (always so for "./" and "../" paths), else from the source root, which is
  # where every target looks. "" when it leaves the tree.
  function resolve(file, delimiter, path,    beside, dir) {
    if (delimiter == "\"") {
      dir = file
      sub(/\/?[^\/]*$/, "", dir)
      beside = normalize(dir == "" ? path : dir "/" path)
      if (beside in exists || path ~ /^\.\.?\//) return beside
    }
    return normalize(path)
  }

  function normalize(path,    part, n, i, k, out) {
    n = split(path, part, "/")
    k = 0
    for (i = 1; i <= n; ++i) {
      if (part[i] == "" || part[i] == ".") continue
      if (part[i] == "..") {
        if (k == 0) return ""
        --k
        continue
      }
      kept[++k] = part[i]
    }
    out = ""
    for (i = 1; i <= k; ++i) out = out (i > 1 ? "/" : "") kept[i]
    return out
  }
' "$work/cmake" "$work/files" "$work/includes"
