#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: the address+undefined sanitizer build with
# all tests, the thread-sanitizer build with the tests of threads and queues, an optimised build
# with all tests (as a packager builds it), deterministic fuzz runs, the end-to-end browser tests,
# and the formatting check. Every build of the test command treats warnings as errors. Every
# stage keeps both cores busy and builds only what it runs. Each stage's time is printed as it
# ends, and all of them with the total at the end, also when a stage fails.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
cd "$src"

stages=()
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
  [[ -n $current ]] && stages+=("$(printf '%-40s %4ds' "$current" $((SECONDS - stage_started)))")
  echo "== stage times"
  printf '  %s\n' "${stages[@]}"
  local total=$((SECONDS - started))
  printf '  %-40s %4ds (%dm%02ds)\n' total $total $((total / 60)) $((total % 60))
  if [[ $status -ne 0 ]]; then
    echo "FAILED in stage: $current"
  fi
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

# The benchmarks are built once, in the optimised build they are meant to run from.
stage "address+undefined sanitizers: all tests"
./scripts/build.sh build/asan -DCMAKE_BUILD_TYPE=Debug -DTAVOPIX_SANITIZE=address,undefined \
  -DTAVOPIX_WERROR=ON -DTAVOPIX_BENCH=OFF
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
(cd build/asan && ctest --output-on-failure -j"$(nproc)" --timeout 300)

stage "thread sanitizer: workers and queues"
if [[ ! -f build/tsan/build.ninja ]]; then
  cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVOPIX_SANITIZE=thread -DTAVOPIX_BENCH=OFF \
    -DTAVOPIX_WERROR=ON
fi
cmake --build build/tsan -j"$(nproc)" --target tavopix_tsan_tests
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
# Newer kernels randomise mmap more than this TSan runtime expects; setarch -R turns it off.
(cd build/tsan && setarch "$(uname -m)" -R ctest --output-on-failure -L threads -j"$(nproc)" \
  --timeout 300)

# The optimised build a packager makes, tests and benchmarks included: GCC's warnings at -O3
# differ from the debug builds' (array bounds, overflow), and the tests run without sanitizers.
stage "optimised build (Release): all tests"
# The folder is the one scripts/run.sh uses, so its program is built once; the options are set
# every time since run.sh configures it without the tests.
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVOPIX_WERROR=ON \
  -DTAVOPIX_TESTS=ON -DTAVOPIX_BENCH=ON >/dev/null
cmake --build build/release -j"$(nproc)"
(cd build/release && ctest --output-on-failure -j"$(nproc)" --timeout 300)

# Every benchmark once with small counts, failing when one measures nothing; alone, after the
# tests, so nothing else runs beside the browser benches.
stage "benchmarks, short runs"
./scripts/bench-smoke.sh build/release

stage "fuzzing (committed inputs, then fixed-seed runs)"
./scripts/fuzz.sh check 10

if [[ -f e2e/package.json ]]; then
  stage "end-to-end in headless Chromium"
  ./scripts/e2e.sh build/asan
fi
