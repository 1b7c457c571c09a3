#!/usr/bin/env bash
# scripts/fuzz.sh SECONDS: builds the libFuzzer targets with clang and runs each for SECONDS.
# A fault stops the script with the fuzzer's report and the input that caused it.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
[[ -f fuzz/CMakeLists.txt ]] || { echo "no fuzz targets"; exit 0; }
# Every library the fuzzers link is built with coverage and the sanitizers too, or faults and
# new paths inside it would go unseen.
sanitize=fuzzer-no-link,address,undefined
if [[ ! -f build/fuzz/build.ninja ]] ||
    ! grep -qx "TAVOPIX_SANITIZE:STRING=$sanitize" build/fuzz/CMakeCache.txt; then
  CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTAVOPIX_FUZZ=ON -DTAVOPIX_TESTS=OFF -DTAVOPIX_BENCH=OFF -DTAVOPIX_SANITIZE=$sanitize
fi
cmake --build build/fuzz -j"$(nproc)"
mkdir -p build/fuzz/artifacts
for target in build/fuzz/bin/fuzz_*; do
  name=$(basename "$target")
  corpus=build/fuzz/corpus/$name
  mkdir -p "$corpus"
  seeds=fuzz/seeds/${name#fuzz_}
  [[ -d "$seeds" ]] || seeds=
  log=build/fuzz/$name.log
  if ! "$target" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix=build/fuzz/artifacts/ "$corpus" $seeds >"$log" 2>&1; then
    cat "$log"
    echo "FAIL: $name found a fault"
    exit 1
  fi
  runs=$(grep -m1 '^stat::number_of_executed_units' "$log" | awk '{print $2}')
  echo "fuzz $name: ${runs:-?} executions in ${seconds}s, no fault"
done
