#!/usr/bin/env bash
# Runs the end-to-end tests in headless Chromium against the program of a build folder:
#   scripts/e2e.sh BUILD_DIR [all|together|alone]      (for example build/asan)
# "together" runs only the files that may share the machine, "alone" only those that time the
# program's answers (the test command runs the first beside a build, the second by itself).
# Installs the pinned test dependencies from e2e/package-lock.json first.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: scripts/e2e.sh BUILD_DIR [all|together|alone]}" && pwd)
part=${2:-all}
case "$part" in
  all | together | alone) ;;
  *) echo "usage: scripts/e2e.sh BUILD_DIR [all|together|alone]" >&2; exit 2 ;;
esac

for tool in node npm /usr/bin/chromium; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "e2e: $tool is missing (scripts/install-deps.sh installs chromium and nodejs)" >&2
    exit 1
  fi
done
for file in bin/tavopix bin/albumd bin/skin/msgBox.htm bin/web/shell.js; do
  if [[ ! -e "$build/$file" ]]; then
    echo "e2e: $build/$file is missing; build the program first" >&2
    exit 1
  fi
done

cd "$src/e2e"
# playwright-core drives the system's Chromium; it never downloads a browser of its own.
PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error
# Each test file runs in a process of its own with its own program folder, home, browser profile
# and albumd data, and every server listens on a free port, so the files run side by side, one
# per core (TAVOPIX_E2E_JOBS to change). A file that times the program's answers says so in a
# line starting "// Runs alone" and runs after the others, by itself, so that no neighbour's
# load is in its figures.
mapfile -t alone < <(grep -l '^// Runs alone' tests/*.test.js || true)
mapfile -t together < <(grep -L '^// Runs alone' tests/*.test.js || true)
export TAVOPIX_BUILD="$build"
if [[ $part != alone ]] && ((${#together[@]} > 0)); then
  node --test --test-concurrency="${TAVOPIX_E2E_JOBS:-$(nproc)}" "${together[@]}"
fi
if [[ $part != together ]] && ((${#alone[@]} > 0)); then
  node --test --test-concurrency=1 "${alone[@]}"
fi
