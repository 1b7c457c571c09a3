#!/usr/bin/env bash
# scripts/build.sh DIR [cmake options...]: configures (once) and builds one build folder.
set -euo pipefail
dir=$1; shift
src=$(cd "$(dirname "$0")/.." && pwd)
if [[ ! -f "$dir/build.ninja" ]]; then
  cmake -S "$src" -B "$dir" -G Ninja "$@"
fi
cmake --build "$dir" -j"$(nproc)"
