#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: the address+undefined sanitizer build with
# all tests, the thread-sanitizer build with the tests of threads and queues, short fuzz runs,
# the end-to-end browser tests, and the formatting check.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
cd "$src"
./scripts/install-deps.sh

echo "== format"
./scripts/check-format.sh

echo "== address+undefined sanitizers: all tests"
./scripts/build.sh build/asan -DCMAKE_BUILD_TYPE=Debug -DTAVOPIX_SANITIZE=address,undefined
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
(cd build/asan && ctest --output-on-failure -j"$(nproc)" --timeout 300)

echo "== thread sanitizer: workers and queues"
if [[ ! -f build/tsan/build.ninja ]]; then
  cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVOPIX_SANITIZE=thread -DTAVOPIX_BENCH=OFF
fi
cmake --build build/tsan -j"$(nproc)" --target tavopix_tsan_tests
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
# Newer kernels randomise mmap more than this TSan runtime expects; setarch -R turns it off.
(cd build/tsan && setarch "$(uname -m)" -R ctest --output-on-failure -L threads --timeout 300)

echo "== fuzzing (bounded runs)"
./scripts/fuzz.sh 10

if [[ -f e2e/package.json ]]; then
  echo "== end-to-end in headless Chromium"
  ./scripts/e2e.sh build/asan
fi
