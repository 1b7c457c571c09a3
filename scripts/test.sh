#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: the address+undefined sanitizer build with
# all tests, the thread-sanitizer build with the tests of threads and queues, an optimised build
# with all tests (as a packager builds it), deterministic fuzz runs, the end-to-end browser tests,
# and the formatting check. Every build of the test command treats warnings as errors. Every
# stage builds only what it runs; tests that mostly wait run beside the next build (see beside
# below). Each stage's time is printed as it ends, and all of them with the total at the end,
# also when a stage fails.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
cd "$src"

stages=()
beside_pid=
started=$SECONDS
stage_started=$SECONDS
current=
stage() {
  if [[ -n $current ]]; then
    stages+=("$(printf '%-40s %4ds' "$current" $((SECONDS - stage_started)))")
    echo "== ${stages[-1]}"
  fi
  current=$1
  stage_started=$SECONDS
  echo "== $current"
}
report() {
  local status=$?
  # A failed stage leaves nothing running beside it.
  if [[ -n $beside_pid ]]; then
    kill -- -"$beside_pid" 2>/dev/null || true
  fi
  [[ -n $current ]] && stages+=("$(printf '%-40s %4ds' "$current" $((SECONDS - stage_started)))")
  echo "== stage times"
  printf '  %s\n' "${stages[@]}"
  local total=$((SECONDS - started))
  printf '  %-40s %4ds (%dm%02ds)\n' total $total $((total / 60)) $((total % 60))
  if [[ $status -ne 0 ]]; then
    echo "FAILED in stage: $current"
  fi
}

# Stages that mostly wait (tests talking to servers on loopback, a browser showing pages) run
# beside the next builds, which run at the lowest priority: the tests get a core whenever they want
# one and the compilers take what they leave idle. What runs beside prints into build/beside.log,
# shown when it is joined; each side keeps its own stage times.
beside_log=$src/build/beside.log
beside_times=$src/build/beside.times
# beside NAME COMMAND... [-- NAME COMMAND...]...: runs the stages one after the other, in the
# background.
beside() {
  : >"$beside_log"
  : >"$beside_times"
  set -m
  (
    while (($# > 0)); do
      local name=$1 begun=$SECONDS args=()
      shift
      while (($# > 0)) && [[ $1 != -- ]]; do args+=("$1"); shift; done
      (($# > 0)) && shift
      echo "== $name"
      if ! "${args[@]}"; then
        echo "failed $name" >>"$beside_times"
        exit 1
      fi
      printf '%-40s %4ds\n' "$name" $((SECONDS - begun)) >>"$beside_times"
    done
  ) >"$beside_log" 2>&1 &
  beside_pid=$!
  set +m
}
# Waits for what runs beside, shows its output and times, and fails with its failed stage.
join_beside() {
  local status=0 line
  wait "$beside_pid" || status=$?
  beside_pid=
  cat "$beside_log"
  while IFS= read -r line; do
    if [[ $line == "failed "* ]]; then
      current="${line#failed } (beside)"
      stage_started=$SECONDS
      exit 1
    fi
    stages+=("$line  (beside)")
  done <"$beside_times"
  return $status
}
trap report EXIT

stage "install dependencies"
./scripts/install-deps.sh

stage "format"
./scripts/check-format.sh

stage "layers"
./scripts/check-layers.sh

# Real photographs, gathered once; tests and benchmarks find them through TAVOPIX_PHOTOS.
stage "real photos"
export TAVOPIX_PHOTOS=$src/build/photos
if [[ ! -f $TAVOPIX_PHOTOS/.complete ]]; then
  ./scripts/get-photos.sh "$TAVOPIX_PHOTOS"
  touch "$TAVOPIX_PHOTOS/.complete"
fi

export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
# The benchmarks are built once, in the optimised build they are meant to run from. The sanitizer
# and fuzz builds compile each target's sources together (CMake's unity build), which halves what
# they compile; the optimised build compiles every source by itself, as a packager does, so a
# source that only compiles beside another is still caught.
stage "address+undefined sanitizers: build"
./scripts/build.sh build/asan -DCMAKE_BUILD_TYPE=Debug -DTAVOPIX_SANITIZE=address,undefined \
  -DTAVOPIX_WERROR=ON -DTAVOPIX_BENCH=OFF -DCMAKE_UNITY_BUILD=ON
beside "address+undefined sanitizers: all tests" \
  ctest --test-dir build/asan --output-on-failure -j"$(nproc)" --timeout 300

stage "thread sanitizer: build"
if [[ ! -f build/tsan/build.ninja ]]; then
  cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVOPIX_SANITIZE=thread -DTAVOPIX_BENCH=OFF \
    -DTAVOPIX_WERROR=ON -DCMAKE_UNITY_BUILD=ON
fi
nice -n 19 cmake --build build/tsan -j"$(nproc)" --target tavopix_tsan_tests

# The optimised build a packager makes, tests and benchmarks included: GCC's warnings at -O3
# differ from the debug builds' (array bounds, overflow), and the tests run without sanitizers.
stage "optimised build (Release): build"
# The folder is the one scripts/run.sh uses, so its program is built once; the options are set
# every time since run.sh configures it without the tests.
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVOPIX_WERROR=ON \
  -DTAVOPIX_TESTS=ON -DTAVOPIX_BENCH=ON >/dev/null
nice -n 19 cmake --build build/release -j"$(nproc)"

stage "waiting for the sanitizer and browser tests beside"
join_beside

# Newer kernels randomise mmap more than this TSan runtime expects; setarch -R turns it off.
beside "thread sanitizer: workers and queues" \
  setarch "$(uname -m)" -R ctest --test-dir build/tsan --output-on-failure -L threads \
  -j"$(nproc)" --timeout 300 \
  -- "optimised build (Release): all tests" \
  ctest --test-dir build/release --output-on-failure -j"$(nproc)" --timeout 300

stage "fuzzing: build"
nice -n 19 ./scripts/fuzz.sh build

stage "waiting for the thread-sanitizer and Release tests beside"
join_beside

# Every benchmark once with small counts, failing when one measures nothing; alone, after the
# tests, so nothing else runs beside the browser benches.
stage "benchmarks, short runs"
./scripts/bench-smoke.sh build/release

# Every committed input is replayed; the fixed-seed exploration after it is kept to 100,000 inputs
# a target (one target per core at a time): finding new faults is the open-ended
# scripts/fuzz.sh explore.
stage "fuzzing (committed inputs, then fixed-seed runs)"
./scripts/fuzz.sh check 100000

# The browser tests with no build or test beside them (they type at full speed into the program
# and time its answers): the files side by side, one per core, then those that time answers, each
# by itself.
if [[ -f e2e/package.json ]]; then
  stage "end-to-end in headless Chromium"
  ./scripts/e2e.sh build/asan together
  stage "end-to-end in headless Chromium, alone"
  ./scripts/e2e.sh build/asan alone
fi
