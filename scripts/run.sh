#!/usr/bin/env bash
# Installs what is missing, builds Tavopix and runs it with a local albumd on loopback as its
# album service. The service's data lives in build/release/bin/albumd-data.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
cd "$src"
./scripts/install-deps.sh
./scripts/build.sh build/release -DCMAKE_BUILD_TYPE=Release -DTAVOPIX_TESTS=OFF -DTAVOPIX_BENCH=OFF
bin=build/release/bin
exec "$bin/tavopix"
