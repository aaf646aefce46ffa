#!/usr/bin/env bash
# Animated GIF export against the usual command-line ways of making a small GIF, all held to the
# same caps (Slack's: 131,072 bytes and 50 frames): libvips resizing plus gifsicle's lossy compression, and ffmpeg's palette
# filters, each searching its settings for the best fit as a careful user would. Three generated
# clips: a photographic pan, a flat cartoon on transparency, a long mostly-static screen
# recording, and two made from real photographs (scikit-image's): one turning on transparency,
# one panned. Prints bytes, frames kept, time to a fit, mean PSNR against an exact Lanczos
# reference and peak memory (the whole process tree, so the decoding helper counts too), then the
# time to the first frame of a 5-second clip. Installs what it needs (hyperfine, gifsicle, ffmpeg,
# libvips-tools, python3-pil, python3-numpy).
#
#   bash bench/compare-animation.sh          (after tools/build)
#   RUNS=7 BUDGET=65536 bash bench/compare-animation.sh
set -euo pipefail
cd "$(dirname "$0")/.."
app="$PWD/build/cropling"
helper="$PWD/build/bench/animation_frames"
measure="/usr/bin/python3 $PWD/bench/animation_bench.py"
[ -d build ] || { echo "configure first: bash tools/build" >&2; exit 1; }
cmake --build build --target benchmarks -j"$(nproc)" >/dev/null

bash bench/need-packages.sh hyperfine gifsicle ffmpeg libvips-tools python3-pil python3-numpy python3-skimage

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
runs=${RUNS:-5}
budget=${BUDGET:-131072}

# Median wall time in seconds over $runs runs; the output is removed before each, as the
# program never writes over a file.
median() { # out command...
  local out=$1; shift
  hyperfine -N -r "$runs" --prepare "rm -f $out" --export-json "$work/t.json" "$*" >/dev/null 2>&1
  /usr/bin/python3 -c "import json; print('%.2f' % json.load(open('$work/t.json'))['results'][0]['median'])"
}
# Median peak memory of the process tree in MB over three runs.
peak() { # out command...
  local out=$1; shift
  for _ in 1 2 3; do rm -f "$out"; $measure peak "$@"; done | sort -n | sed -n 2p
}

echo "making the clips in $work" >&2
$measure make "$work"
rows="$work/rows.tsv"
for clip in pan cartoon screen turn photo-pan; do
  src="$work/$clip.gif" out="$work/cropling-$clip.gif"
  echo "$clip: cropling" >&2
  seconds=$(median "$out" "$app" render "$src" -o "$out" --max-bytes "$budget")
  mb=$(peak "$out" "$app" render "$src" -o "$out" --max-bytes "$budget")
  $measure row "$clip" cropling "$src" "$out" "$seconds" "$mb" >>"$rows"
  for peer in gifsicle ffmpeg; do
    echo "$clip: $peer, searching" >&2
    mkdir -p "$work/$peer-$clip"
    $measure "$peer" "$src" "$budget" "$work/$peer-$clip" >>"$rows"
  done
done

echo
echo "Budget $budget bytes; time: cropling's median of $runs runs, a peer's whole search;"
echo "PSNR: each source frame against the output frame shown at its time, flattened on grey."
{
  printf 'animation\ttool\tbytes\tframes kept\ttime to fit (s)\tmean PSNR (dB)\tpeak MB\tsetting\n'
  cat "$rows"
} | column -t -s $'\t'
awk -F'\t' -v b="$budget" '$3 != "-" && $3 > b { print "OVER BUDGET: " $2 " on " $1 ": " $3 " bytes" }' "$rows"

# The first frame of a 5 s clip: a PNG render decodes only that frame, through the helper.
first="$work/first.png"
frames=$(vipsheader -f n-pages "$work/pan.gif")
echo
echo "first frame of a ${frames}-frame 480x270 GIF (5 s): $(median "$first" "$app" render "$work/pan.gif" -o "$first") s" \
  "median, $(peak "$first" "$app" render "$work/pan.gif" -o "$first") MB peak"
