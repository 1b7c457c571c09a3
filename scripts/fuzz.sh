#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build/fuzz) and runs every target fuzz/CMakeLists.txt
# declares, in one of two modes:
#
#   scripts/fuzz.sh check [SECONDS]    what the test command runs; the same commit gives the same
#                                      result. Each target first replays its committed seeds
#                                      (fuzz/seeds/<name>/) and every input that ever found a
#                                      fault (fuzz/regressions/<name>/), then explores for SECONDS
#                                      (default 10) from those alone with a fixed random seed
#                                      (TAVOPIX_FUZZ_SEED, default 1).
#   scripts/fuzz.sh explore [SECONDS]  open-ended search: fresh random seeds, a corpus kept
#                                      between runs in build/fuzz/corpus/<target>/ (default 300 s
#                                      per target). TAVOPIX_FUZZ_TARGETS="fuzz_a fuzz_b" narrows
#                                      either mode to those targets; TAVOPIX_FUZZ_BUILD=DIR builds
#                                      in DIR instead of build/fuzz.
#
# <name> is the target's name without "fuzz_". A fault stops the script with the fuzzer's report
# and the input that caused it, saved in build/fuzz/artifacts/. Once the fault is fixed, commit
# that input as fuzz/regressions/<name>/<what it shows> (a short name saying what went wrong,
# e.g. gif-screen-13x7-frame.gif), so every later check replays it.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-check}
case "$mode" in
  check) seconds=${2:-10} ;;
  explore) seconds=${2:-300} ;;
  *) echo "usage: scripts/fuzz.sh check|explore [SECONDS]" >&2; exit 2 ;;
esac
[[ -f fuzz/CMakeLists.txt ]] || { echo "no fuzz targets"; exit 0; }

# Every library the fuzzers link is built with coverage and the sanitizers too, or faults and
# new paths inside it would go unseen.
build=${TAVOPIX_FUZZ_BUILD:-build/fuzz}
sanitize=fuzzer-no-link,address,undefined
if [[ ! -f $build/build.ninja ]] ||
    ! grep -qx "TAVOPIX_SANITIZE:STRING=$sanitize" $build/CMakeCache.txt; then
  CC=clang CXX=clang++ cmake -S . -B $build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTAVOPIX_FUZZ=ON -DTAVOPIX_TESTS=OFF -DTAVOPIX_BENCH=OFF -DTAVOPIX_SANITIZE=$sanitize \
    -DTAVOPIX_WERROR=ON
fi
cmake --build $build -j"$(nproc)"
# The configure step lists the targets fuzz/CMakeLists.txt declares, so a new target is run
# without any change here and a removed one's old binary is not.
read -r -a targets <<<"${TAVOPIX_FUZZ_TARGETS:-$(tr '\n' ' ' <$build/fuzz/targets.txt)}"

# A unit over 5 s or over 2 GB is a fault of its own: no input of a few kilobytes may cost that.
limits=(-timeout=5 -rss_limit_mb=2048)
mkdir -p $build/artifacts
fail() {
  cat "$1"
  echo "FAIL: $2"
  echo "Fix it, then commit the input as fuzz/regressions/${name#fuzz_}/<what it shows>."
  exit 1
}
for name in "${targets[@]}"; do
  target=$build/bin/$name
  seeds=fuzz/seeds/${name#fuzz_}
  regressions=fuzz/regressions/${name#fuzz_}
  if [[ ! -d $seeds ]]; then
    echo "FAIL: $name has no seeds; add a few valid inputs in $seeds/"
    exit 1
  fi
  inputs=("$seeds")
  [[ -d $regressions ]] && inputs+=("$regressions")
  log=$build/$name.log

  if [[ $mode == check ]]; then
    # Replay: each committed input once, named in the report if it fails.
    mapfile -t files < <(find "${inputs[@]}" -type f | sort)
    if ! "$target" "${limits[@]}" -artifact_prefix=$build/artifacts/ "${files[@]}" >"$log" 2>&1; then
      fail "$log" "$name fails on a committed input"
    fi
    # Explore from the committed inputs alone, into a corpus emptied first, with a fixed seed.
    corpus=$build/check-corpus/$name
    rm -rf "$corpus"
    mkdir -p "$corpus"
    random=-seed=${TAVOPIX_FUZZ_SEED:-1}
  else
    corpus=$build/corpus/$name
    mkdir -p "$corpus"
    random=-seed=0
  fi
  if ! "$target" "${limits[@]}" "$random" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix=$build/artifacts/ "$corpus" "${inputs[@]}" >"$log" 2>&1; then
    fail "$log" "$name found a fault ($(grep -m1 -o 'Seed: [0-9]*' "$log"))"
  fi
  runs=$(grep -m1 '^stat::number_of_executed_units' "$log" | awk '{print $2}')
  replayed=
  [[ $mode == check ]] && replayed="${#files[@]} committed inputs replayed, "
  echo "fuzz $name: $replayed${runs:-?} executions in ${seconds}s" \
    "($(grep -m1 -o 'Seed: [0-9]*' "$log")), no fault"
done
