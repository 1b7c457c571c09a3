#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build/fuzz) and runs every target fuzz/CMakeLists.txt
# declares, in one of two modes:
#
#   scripts/fuzz.sh check [RUNS]       what the test command runs; the same commit gives the same
#                                      result. Each target first replays its committed seeds
#                                      (fuzz/seeds/<name>/) and every input that ever found a
#                                      fault (fuzz/regressions/<name>/), then explores RUNS inputs
#                                      (default 100000) from those alone with a fixed random seed
#                                      (TAVOPIX_FUZZ_SEED, default 1): bounded by a count, not by
#                                      time, so a loaded machine explores the same inputs.
#   scripts/fuzz.sh build              only builds the targets (the test command builds them
#                                      beside other stages and runs them later).
#   scripts/fuzz.sh explore [SECONDS]  open-ended search: fresh random seeds, a corpus kept
#                                      between runs in build/fuzz/corpus/<target>/ (default 300 s
#                                      per target). TAVOPIX_FUZZ_TARGETS="fuzz_a fuzz_b" narrows
#                                      either mode to those targets; TAVOPIX_FUZZ_BUILD=DIR builds
#                                      in DIR instead of build/fuzz.
#
# Only the fuzz targets are built. They run side by side, one per core (TAVOPIX_FUZZ_JOBS=N for
# another count); the verdicts are printed in the targets' order once all have ended.
#
# <name> is the target's name without "fuzz_". A fault fails the script with the fuzzer's report
# and the input that caused it, saved in build/fuzz/artifacts/. Once the fault is fixed, commit
# that input as fuzz/regressions/<name>/<what it shows> (a short name saying what went wrong,
# e.g. gif-screen-13x7-frame.gif), so every later check replays it.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-check}
case "$mode" in
  check) bound=-runs=${2:-100000} ;;
  explore) bound=-max_total_time=${2:-300} ;;
  build) ;;
  *) echo "usage: scripts/fuzz.sh check [RUNS] | explore [SECONDS] | build" >&2; exit 2 ;;
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
    -DTAVOPIX_WERROR=ON -DCMAKE_UNITY_BUILD=ON
fi
# The configure step lists the targets fuzz/CMakeLists.txt declares, so a new target is run
# without any change here and a removed one's old binary is not; build.ninja is brought up to date
# first so the list is the current one. Only the fuzz targets are built, not the whole tree.
cmake --build $build --target build.ninja
read -r -a targets <<<"${TAVOPIX_FUZZ_TARGETS:-$(tr '\n' ' ' <$build/fuzz/targets.txt)}"
cmake --build $build -j"$(nproc)" --target "${targets[@]}"
[[ $mode == build ]] && exit 0

# A unit over 5 s or over 2 GB is a fault of its own: no input of a few kilobytes may cost that.
limits=(-timeout=5 -rss_limit_mb=2048)
mkdir -p $build/artifacts

# Runs one target and writes its verdict to $build/<name>.result: "ok <summary>" or
# "fail <what failed>"; the fuzzer's own output stays in $build/<name>.log.
run_target() {
  local name=$1 target=$build/bin/$1 seeds=fuzz/seeds/${1#fuzz_} regressions=fuzz/regressions/${1#fuzz_}
  local result=$build/$name.result log=$build/$name.log corpus random files=() replayed=
  if [[ ! -d $seeds ]]; then
    echo "fail $name has no seeds; add a few valid inputs in $seeds/" >"$result"
    return
  fi
  local inputs=("$seeds")
  [[ -d $regressions ]] && inputs+=("$regressions")
  if [[ $mode == check ]]; then
    # Replay: each committed input once, named in the report if it fails.
    mapfile -t files < <(find "${inputs[@]}" -type f | sort)
    if ! "$target" "${limits[@]}" -artifact_prefix=$build/artifacts/ "${files[@]}" >"$log" 2>&1; then
      echo "fail $name fails on a committed input" >"$result"
      return
    fi
    replayed="${#files[@]} committed inputs replayed, "
    # Explore from the committed inputs alone, into a corpus emptied first, with a fixed seed.
    corpus=$build/check-corpus/$name
    rm -rf "$corpus"
    random=-seed=${TAVOPIX_FUZZ_SEED:-1}
  else
    corpus=$build/corpus/$name
    random=-seed=0
  fi
  mkdir -p "$corpus"
  if ! "$target" "${limits[@]}" "$random" "$bound" -print_final_stats=1 \
      -artifact_prefix=$build/artifacts/ "$corpus" "${inputs[@]}" >"$log" 2>&1; then
    echo "fail $name found a fault ($(grep -m1 -o 'Seed: [0-9]*' "$log"))" >"$result"
    return
  fi
  local runs seconds
  runs=$(grep -m1 '^stat::number_of_executed_units' "$log" | awk '{print $2}') || true
  seconds=$(grep -m1 -o 'Done [0-9]* runs in [0-9]* second' "$log" | awk '{print $5}') || true
  echo "ok $replayed${runs:-?} executions in ${seconds:-?} s ($(grep -m1 -o 'Seed: [0-9]*' "$log")), no fault" \
    >"$result"
}

# The targets share nothing (each its own corpus, log and single-threaded fuzzer), so they run
# side by side, one per core (TAVOPIX_FUZZ_JOBS to change). Each keeps its fixed seed and its
# count, so a run gives the same verdicts as one target after another.
jobs=${TAVOPIX_FUZZ_JOBS:-$(nproc)}
running=0
for name in "${targets[@]}"; do
  rm -f "$build/$name.result"
  if ((running >= jobs)); then
    wait -n || true
    running=$((running - 1))
  fi
  run_target "$name" &
  running=$((running + 1))
done
wait

# The verdicts in the targets' order; every fault is shown with the fuzzer's report.
failed=0
for name in "${targets[@]}"; do
  verdict=fail text="$name ended without a verdict"
  [[ -s $build/$name.result ]] && read -r verdict text <"$build/$name.result"
  if [[ $verdict == ok ]]; then
    echo "fuzz $name: $text"
    continue
  fi
  [[ -f $build/$name.log ]] && cat "$build/$name.log"
  echo "FAIL: $text"
  echo "Fix it, then commit the input as fuzz/regressions/${name#fuzz_}/<what it shows>."
  failed=1
done
exit $failed
