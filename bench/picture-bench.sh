#!/usr/bin/env bash
# Runs the program's picture helpers (picture-bench) and the tools a user would pick instead
# over the same photographs, photo by photo in one run, and prints medians, ratios, PSNR and
# peak memory.
#
# Usage: [CLOCK=wall|cpu] bench/picture-bench.sh PHOTOS_DIR [PICTURE_BENCH] [RUNS]
#   PHOTOS_DIR     holds real/ and baseline/ (gathered by the photos script of the shared folder)
#   PICTURE_BENCH  the picture-bench binary of a release build (default build/release/bin/picture-bench)
#   RUNS           runs per step and photo, the median is kept (default 5)
#   CLOCK          wall (default): elapsed time; cpu: processor time of each step or tool run
#                  (user + system, all threads), steadier on a shared machine
# Needs vipsthumbnail, djpeg, jpegtran, ImageMagick (convert, compare, identify) and GNU time.
set -euo pipefail

photos=${1:?usage: picture-bench.sh PHOTOS_DIR [PICTURE_BENCH] [RUNS]}
here=$(cd "$(dirname "$0")/.." && pwd)
bench=${2:-$here/build/release/bin/picture-bench}
runs=${3:-5}
clock=${CLOCK:-wall}
for tool in vipsthumbnail djpeg jpegtran convert compare identify /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
[[ -x $bench ]] || { echo "build picture-bench first (missing $bench)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR) print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2); else print "nan" }'; }
# Milliseconds of one run of a command, its output discarded.
ms() {
  if [[ $clock == cpu ]]; then
    python3 -c 'import resource, subprocess, sys
def used():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime
start = used()
done = subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
print("fail" if done.returncode else "%.1f" % ((used() - start) * 1000))' "$@"
    return
  fi
  local start=$EPOCHREALTIME
  "$@" >/dev/null 2>&1 || { echo fail; return; }
  awk -v s="$start" -v e="$EPOCHREALTIME" 'BEGIN { printf "%.1f\n", (e - s) * 1000 }'
}
# Median milliseconds of $runs runs.
timed() {
  local i out=()
  for ((i = 0; i < runs; i++)); do out+=("$(ms "$@")"); done
  if printf '%s\n' "${out[@]}" | grep -q fail; then echo fail; else printf '%s\n' "${out[@]}" | median; fi
}
psnr() {  # psnr PICTURE THUMB: the thumbnail against a full decode resized with Lanczos to its size
  local size
  size=$(identify -format '%wx%h' "$2")
  convert "$1" -filter Lanczos -resize "${size}!" "$work/ref.png"
  { compare -metric PSNR "$2" "$work/ref.png" null: 2>&1 || true; } | awk '{ print $1 }'
}
peak_kb() { /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F: '/Maximum resident/ { gsub(/ /, "", $2); print $2 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "fail" || b == "fail" || b == 0) print "-"; else printf "%.2f", a / b }'; }

measured_nothing=
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg); $(nproc) cores; $runs runs per step, medians in ms of $clock time"
for set in baseline real; do
  dir=$photos/$set
  [[ -d $dir ]] || continue
  mapfile -t files < <(find "$dir" -maxdepth 1 -type f | sort)
  echo
  echo "== $set: ${#files[@]} pictures"
  printf '%-40s %-10s | %7s %7s %7s %7s %6s | %7s %7s | %7s %7s %9s | %6s %6s\n' picture size \
    ours vips1p djpeg18 ratio/dj psnr-o ours1600 vips1600 rotate jpegtran turn psnr-v dB-diff
  rows=()
  for file in "${files[@]}"; do
    name=$(basename "$file")
    one=$work/one && rm -rf "$one" "$work/out" && mkdir -p "$one" && ln -s "$file" "$one/$name"
    line=$("$bench" "$one" "$work/out" "$runs" "$clock" | tail -1)
    IFS=$'\t' read -r _ size thumb fit rotate _ turn _ <<<"$line"
    vips1=$(timed vipsthumbnail -s 280x280 "$file" -o "$work/vips_%s.jpg")
    vips1600=$(timed vipsthumbnail -s 1600x1600 "$file" -o "$work/vipsfit_%s.jpg")
    dj=- jt=-
    if [[ $turn != - ]]; then
      dj=$(timed djpeg -scale 1/8 "$file")
      [[ $turn == perfect ]] && jt=$(timed jpegtran -rotate 90 -perfect -copy all -outfile "$work/jt.jpg" "$file")
    fi
    stem=${name%.*}
    po=$(psnr "$file" "$work/out/thumbs/$stem.jpg" 2>/dev/null || echo -)
    pv=$(psnr "$file" "$work/vips_$stem.jpg" 2>/dev/null || echo -)
    diff=$(awk -v a="$po" -v b="$pv" 'BEGIN { if (a + 0 == 0 || b + 0 == 0) print "-"; else printf "%+.2f", a - b }')
    printf '%-40s %-10s | %7s %7s %7s %7s %6s | %7s %7s | %7s %7s %9s | %6s %6s\n' "${name:0:40}" "$size" \
      "$thumb" "$vips1" "$dj" "$(ratio "$thumb" "$dj")" "$po" "$fit" "$vips1600" "$rotate" "$jt" "$turn" "$pv" "$diff"
    rows+=("$thumb $vips1 $dj $fit $vips1600 $rotate $jt $turn")
  done
  # vipsthumbnail given every photo of the set in one process: its start-up amortised.
  amortised=()
  amortised1600=()
  for ((i = 0; i < 3; i++)); do
    amortised+=("$(awk -v t="$(ms vipsthumbnail -s 280x280 "${files[@]}" -o "$work/all_%s.jpg")" -v n=${#files[@]} 'BEGIN { printf "%.1f", t / n }')")
    amortised1600+=("$(awk -v t="$(ms vipsthumbnail -s 1600x1600 "${files[@]}" -o "$work/all1600_%s.jpg")" -v n=${#files[@]} 'BEGIN { printf "%.1f", t / n }')")
  done
  vips_all=$(printf '%s\n' "${amortised[@]}" | median)
  vips_all1600=$(printf '%s\n' "${amortised1600[@]}" | median)
  col() { printf '%s\n' "${rows[@]}" | awk -v c="$1" -v f="${2:-}" '(f == "" || $8 == f) && $c != "-" && $c != "fail" { print $c }' | median; }
  m_thumb_jpeg=$(printf '%s\n' "${rows[@]}" | awk '$8 != "-" { print $1 }' | median)
  m_dj=$(printf '%s\n' "${rows[@]}" | awk '$8 != "-" { print $3 }' | median)
  m_thumb=$(col 1)
  m_vips1=$(col 2)
  m_fit=$(col 4)
  m_vips1600=$(col 5)
  m_rot_perfect=$(col 6 perfect)
  m_jt=$(col 7 perfect)
  m_rot_reenc=$(col 6 reencoded)
  echo "-- medians over the set (ms)"
  echo "thumbnail:  ours $m_thumb | vipsthumbnail amortised $vips_all (ours/vips $(ratio "$m_thumb" "$vips_all")) | one process per photo $m_vips1"
  echo "            JPEGs: ours $m_thumb_jpeg vs djpeg -scale 1/8 $m_dj (ratio $(ratio "$m_thumb_jpeg" "$m_dj"))"
  echo "fit 1600:   ours $m_fit | vipsthumbnail -s 1600x1600 amortised $vips_all1600 (ours/vips $(ratio "$m_fit" "$vips_all1600")) | one process per photo $m_vips1600"
  echo "rotate:     perfect: ours $m_rot_perfect vs jpegtran -perfect $m_jt (ratio $(ratio "$m_rot_perfect" "$m_jt")) | re-encoded: ours $m_rot_reenc"
  for figure in "$m_thumb" "$vips_all" "$m_fit" "$vips_all1600"; do
    [[ $figure =~ ^[0-9.]+$ ]] || measured_nothing=1
  done
  echo "peak memory (KB): picture-bench over the set $(peak_kb "$bench" "$dir" "$work/peak" 1) | vipsthumbnail 280 over the set $(peak_kb vipsthumbnail -s 280x280 "${files[@]}" -o "$work/p_%s.jpg") | vipsthumbnail 1600 $(peak_kb vipsthumbnail -s 1600x1600 "${files[@]}" -o "$work/p16_%s.jpg")"
done
if [[ -n $measured_nothing ]]; then
  echo "a thumbnail or fitting figure could not be measured" >&2
  exit 1
fi
