#!/usr/bin/env bash
# scripts/make-update-package.sh BIN_DIR OUT.tar.gz: packs the program of a build folder's bin/
# (the program "tavopix" with its skin/ and web/ folders) as an update package. The installer
# takes nothing else, so the user's files beside an installed program are never in a package.
# The archive is signed when it is published (`albumd update set`); the program installs only a
# signed package (README, "Updates").
set -euo pipefail
bin=${1:?usage: make-update-package.sh BIN_DIR OUT.tar.gz}
out=${2:?usage: make-update-package.sh BIN_DIR OUT.tar.gz}
for part in tavopix skin web; do
  [[ -e "$bin/$part" ]] || { echo "make-update-package: $bin/$part is missing" >&2; exit 1; }
done
tar --create --gzip --file "$out" --owner=0 --group=0 --numeric-owner \
  --exclude='skin/CMakeLists.txt' --exclude='web/CMakeLists.txt' \
  -C "$bin" tavopix skin web
echo "$out"
