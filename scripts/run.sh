#!/usr/bin/env bash
# Installs what is missing, builds Tavopix and runs it with a local albumd on loopback as its
# album service. The service's data lives in build/release/bin/albumd-data.
#
# It also puts Tavopix into the desktop's application menu (a .desktop entry and its icon under
# ~/.local/share), so later starts are one click; that entry runs this script with --installed,
# which starts the program already built without installing or building anything.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
cd "$src"
bin=build/release/bin
if [[ "${1:-}" != --installed || ! -x "$bin/tavopix" ]]; then
  ./scripts/install-deps.sh
  ./scripts/build.sh build/release -DCMAKE_BUILD_TYPE=Release -DTAVOPIX_TESTS=OFF -DTAVOPIX_BENCH=OFF
fi

# The application menu's entry. A desktop without a writable data folder simply has none.
install_desktop_entry() {
  local data="${XDG_DATA_HOME:-$HOME/.local/share}"
  mkdir -p "$data/applications" "$data/icons/hicolor/scalable/apps" || return 0
  cp skin/res/tavopix.svg "$data/icons/hicolor/scalable/apps/tavopix.svg" || return 0
  local entry="$data/applications/tavopix.desktop"
  cat >"$entry.tmp" <<EOF_ENTRY || return 0
[Desktop Entry]
Type=Application
Name=Tavopix
GenericName=Photo uploader
GenericName[zh_CN]=相册上传
Comment=Browse your photos and upload them to online albums
Comment[zh_CN]=浏览本机照片，上传到在线相册
Exec="$src/scripts/run.sh" --installed
Icon=tavopix
Terminal=false
Categories=Graphics;Photography;Viewer;
StartupNotify=true
EOF_ENTRY
  mv "$entry.tmp" "$entry"
  command -v update-desktop-database >/dev/null && update-desktop-database -q "$data/applications" || true
}
[[ -n "${HOME:-}" ]] && install_desktop_entry

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
