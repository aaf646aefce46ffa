#!/usr/bin/env bash
# The time from the command to the fitted GIF of each reaction effect, and of a plain still render
# for comparison, on 24 MP photographs: scikit-image's coffee cup enlarged to 6000 x 4000 (a real
# photograph's texture) and the camera-like test photo of bench/make_photo. Median of 5 runs each,
# with the process tree's peak memory.
#
#   bash bench/effects-bench.sh          (after tools/build)
set -euo pipefail
cd "$(dirname "$0")/.."
app="$PWD/build/cropling"
measure="/usr/bin/python3 $PWD/bench/animation_bench.py"
[ -d build ] || { echo "configure first: bash tools/build" >&2; exit 1; }
cmake --build build --target benchmarks -j"$(nproc)" >/dev/null
bash bench/need-packages.sh hyperfine libvips-tools python3-skimage

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
vips resize /usr/lib/python3/dist-packages/skimage/data/coffee.png "$work/coffee.png" 15 --kernel lanczos3
vips crop "$work/coffee.png" "$work/coffee-24mp.jpg[Q=90]" 0 0 6000 4000
build/bench/make_photo 24 "$work/camera-24mp.jpg"

median() { # out command...
  local out=$1; shift
  hyperfine -N -r 5 --prepare "rm -f $out" --export-json "$work/t.json" "$*" >/dev/null 2>&1
  /usr/bin/python3 -c "import json; print('%.2f' % json.load(open('$work/t.json'))['results'][0]['median'])"
}

printf '%-18s %-8s %8s %8s %8s\n' photo effect seconds 'peak MB' 'GIF KB'
for photo in coffee-24mp camera-24mp; do
  src="$work/$photo.jpg"
  out="$work/plain.png"
  printf '%-18s %-8s %8s %8s %8s\n' "$photo" "(PNG)" "$(median "$out" "$app" render "$src" -o "$out")" \
    "$($measure peak "$app" render "$src" -o "$work/plain-peak.png")" "-"
  for effect in party shake spin pulse; do
    out="$work/$effect.gif"
    seconds=$(median "$out" "$app" render "$src" --effect "$effect" -o "$out")
    rm -f "$work/peak.gif"
    mb=$($measure peak "$app" render "$src" --effect "$effect" -o "$work/peak.gif")
    printf '%-18s %-8s %8s %8s %8s\n' "$photo" "$effect" "$seconds" "$mb" "$(( $(stat -c %s "$out") / 1024 ))"
  done
done
