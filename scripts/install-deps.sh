#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need, skipping what is
# already there. Safe to run again; needs root (or sudo) only when something is missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build ccache pkg-config clang clang-format libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libboost-dev libcurl4-openssl-dev nlohmann-json3-dev libsqlite3-dev libsodium-dev
  libturbojpeg0-dev libjpeg-dev libpng-dev libgif-dev libtiff-dev libstb-dev
  libjpeg-turbo-progs libxml2-dev libarchive-dev
  curl ca-certificates xdg-utils
  chromium fonts-noto-cjk nodejs
)
if [[ "${TAVOPIX_BENCH:-}" == 1 ]]; then
  packages+=(libvips-tools imagemagick)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
# nodejs may come from elsewhere than Debian; a working node is enough.
if command -v node >/dev/null 2>&1; then
  missing=("${missing[@]/nodejs}")
fi
missing=($(printf '%s\n' "${missing[@]}" | grep -v '^$' || true))
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo_cmd=()
[[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
echo "Installing: ${missing[*]}" >&2
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
