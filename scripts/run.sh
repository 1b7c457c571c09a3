#!/usr/bin/env bash
# Installs what is missing, builds Tavopix and runs it with a local albumd on loopback as its
# album service. The service's data lives in build/release/bin/albumd-data.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
cd "$src"
./scripts/install-deps.sh
./scripts/build.sh build/release -DCMAKE_BUILD_TYPE=Release -DTAVOPIX_TESTS=OFF -DTAVOPIX_BENCH=OFF
bin=build/release/bin

# The local album service: 127.0.0.1:8765 when that port is free, else any free port. It runs
# as long as tavopix does.
data="$bin/albumd-data"
log="$bin/albumd.log"
albumd_pid=
start_albumd() {
  : >"$log"
  "$bin/albumd" --data "$data" --listen "127.0.0.1:$1" >>"$log" 2>&1 &
  albumd_pid=$!
  for _ in $(seq 300); do
    address=$(sed -n 's/^albumd listening on //p' "$log")
    [[ -n "$address" ]] && return 0
    kill -0 "$albumd_pid" 2>/dev/null || return 1
    sleep 0.1
  done
  kill "$albumd_pid" 2>/dev/null || true
  return 1
}
if ! start_albumd 8765 && ! start_albumd 0; then
  echo "albumd did not start; see $log" >&2
  exit 1
fi
trap 'kill "$albumd_pid" 2>/dev/null || true; wait "$albumd_pid" 2>/dev/null || true' EXIT
echo "album service: $address/ (data in $data; add an account on its home page)"

# The SDK's configuration: written when there is none, and kept pointing at the local service
# while it is the one this script wrote.
config="$bin/ovkCfg.ini"
marker="; written by scripts/run.sh for the local albumd"
if [[ ! -f "$config" ]] || head -n 1 "$config" | grep -qxF "$marker"; then
  cat >"$config" <<EOF_CONFIG
$marker
[service]
album_service = $address/
home_page = $address/
register_page = $address/ovklogin/register.php
lost_password_page = $address/WebStaticPage/aq_LostPassword.html

[timeouts]
connect_ms = 10000
EOF_CONFIG
fi

status=0
"$bin/tavopix" || status=$?
exit "$status"
