#!/usr/bin/env bash
# Runs every benchmark of bench/ once in its short mode (small counts, one or two runs), one after
# the other, and fails when one of them fails or prints no figure: a benchmark that quietly stops
# measuring is found by the test command, not at the next round of figures. The figures of a short
# run are not the benchmarks' results (bench/README.md has those and the full commands).
#
#   scripts/bench-smoke.sh BUILD_DIR      (a build with TAVOPIX_BENCH=ON and the tests, e.g.
#                                          build/release; TAVOPIX_PHOTOS names the photographs)
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: scripts/bench-smoke.sh BUILD_DIR}" && pwd)
bin=$build/bin
export TAVOPIX_PHOTOS=${TAVOPIX_PHOTOS:-$src/build/photos}
export TAVOPIX_BENCH_SHORT=1
cd "$src"

# The tools the benchmarks compare against (vipsthumbnail, ImageMagick) and the browser tests'
# Playwright.
TAVOPIX_BENCH=1 ./scripts/install-deps.sh
if [[ ! -d e2e/node_modules/playwright-core ]]; then
  (cd e2e && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Two photographs of the set, a large JPEG and a PNG, for the picture helpers.
mkdir -p "$work/photos/real"
cp "$TAVOPIX_PHOTOS/real/Wine_by_Jakkub_Mede.jpg" "$TAVOPIX_PHOTOS/real/coffee.png" "$work/photos/real/"

failed=()
# run NAME PATTERN COMMAND...: runs the command (at most 5 minutes) and keeps its output; it
# passes when it ends with status 0 and a line of its output matches PATTERN (a figure).
run() {
  local name=$1 pattern=$2 started=$SECONDS status=0
  shift 2
  timeout 300 "$@" >"$work/$name.log" 2>&1 || status=$?
  local figure
  figure=$(grep -E -m1 "$pattern" "$work/$name.log" || true)
  if [[ $status -ne 0 || -z $figure ]]; then
    failed+=("$name")
    echo "-- $name: FAILED (status $status$([[ -z $figure ]] && echo ', no figure'))"
    sed 's/^/   | /' "$work/$name.log" | tail -40
  else
    printf -- '-- %-16s %4ds  %s\n' "$name" $((SECONDS - started)) "$(sed -E 's/ +/ /g' <<<"$figure")"
  fi
}

number='[0-9]+(\.[0-9]+)?'
run message_queue "^BM_WindowQueue_FourPosters/real_time +$number +[mun]?s" \
  "$bin/message_queue_bench" --benchmark_min_time=0.01
run engine "^TavopixSelectSelectedCells +$number +[mun]?s" "$bin/engine_bench" --benchmark_min_time=0.01
run picture "^thumbnail: +ours $number \| vipsthumbnail amortised $number" \
  bench/picture-bench.sh "$work/photos" "$bin/picture-bench" 1
run search "^walk / find +$number" "$bin/search-bench" "$work/tree" 1
run sdk_upload "SDK / curl throughput: $number" "$bin/sdk_upload_bench" 2 1 1
run albumd_load "^upload latency ms: p50 $number" "$bin/albumd_load" --clients 4 --seconds 2
run upload "^dialog / floor: $number" "$bin/upload-bench" 3
run resumable "^breaking / uninterrupted, resumable: time $number x, bytes $number x" \
  "$bin/resumable-upload-bench"
run browser_latency "^press → applied, Tavopix +n= *[1-9][0-9]* +p50 +$number" \
  node bench/browser-latency.mjs "$build"
run grid "^zoom step, cells restyled and drawn +n= *[1-9] +median +$number" \
  node bench/grid-bench.mjs "$build"
run folders "cold $number ms = $number x vipsthumbnail" node bench/folders-bench.mjs "$build"
run ui_stall "^upload +presses +[1-9][0-9]* +p50 +$number" node bench/ui-stall.mjs "$build"

if ((${#failed[@]} > 0)); then
  echo "benchmarks that measured nothing: ${failed[*]}" >&2
  exit 1
fi
