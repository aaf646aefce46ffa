#!/usr/bin/env bash
# A video clip to an animated emoji against ffmpeg's palette filters and gifsicle, each searching its
# settings for the best fit to Slack's caps (131,072 bytes, 50 frames) as a careful user would, on a
# span of a 1080p 10-second H.264 clip made from real photographs (scikit-image's). Prints bytes,
# frames kept, time to a fit, mean PSNR against an exact Lanczos reference of the span's decoded
# frames, and peak memory of the process tree; then the time to the clip's first frame.
#
#   bash bench/compare-clips.sh          (after tools/build)
set -euo pipefail
cd "$(dirname "$0")/.."
app="$PWD/build/cropling"
measure="/usr/bin/python3 $PWD/bench/animation_bench.py"
[ -d build ] || { echo "configure first: bash tools/build" >&2; exit 1; }
cmake --build build --target benchmarks -j"$(nproc)" >/dev/null
bash bench/need-packages.sh hyperfine gifsicle ffmpeg libvips-tools python3-pil python3-numpy python3-skimage

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
photos=/usr/lib/python3/dist-packages/skimage/data
budget=131072
start=4 length=3

echo "making the clip in $work" >&2
# The cat's photograph, then the coffee's, the camera zooming slowly in on each: real texture,
# every frame different.
ffmpeg -nostdin -v error -y -loop 1 -framerate 30 -i "$photos/chelsea.png" -loop 1 -framerate 30 -i "$photos/coffee.png" \
  -filter_complex "[0]scale=3840:-2,zoompan=z='1+0.0015*on':x='iw/2-iw/zoom/2':y='ih/2-ih/zoom/2':d=1:s=1920x1080:fps=30,trim=duration=5,setsar=1[a];\
[1]scale=3840:-2,zoompan=z='1+0.0015*on':x='iw/2-iw/zoom/2+on':y='ih/2-ih/zoom/2':d=1:s=1920x1080:fps=30,trim=duration=5,setsar=1[b];\
[a][b]concat=n=2:v=1,format=yuv420p" -c:v libx264 -crf 18 "$work/clip.mp4"
# The span as the tools see it: decoded once, kept losslessly (animated WebP for the reference
# and libvips, FFV1 for ffmpeg).
ffmpeg -nostdin -v error -y -ss "$start" -t "$length" -i "$work/clip.mp4" -c:v libwebp -lossless 1 -loop 0 "$work/span.webp"
ffmpeg -nostdin -v error -y -ss "$start" -t "$length" -i "$work/clip.mp4" -c:v ffv1 "$work/span.mkv"
export REFERENCE="$work/span.webp"

rows="$work/rows.tsv"
out="$work/cropling.gif"
echo "cropling" >&2
t0=$(date +%s.%N)
"$app" render "$work/clip.mp4" --start "$start" --end "$((start + length))" -o "$out"
seconds=$(echo "$(date +%s.%N) - $t0" | bc)
rm -f "$out.peak"; mb=$($measure peak "$app" render "$work/clip.mp4" --start "$start" --end "$((start + length))" -o "$out.peak.gif")
$measure row span cropling "$work/span.webp" "$out" "$seconds" "$mb" >>"$rows"
echo "ffmpeg, searching" >&2
mkdir -p "$work/ffmpeg" "$work/gifsicle"
$measure ffmpeg "$work/span.mkv" "$budget" "$work/ffmpeg" >>"$rows"
echo "gifsicle, searching" >&2
$measure gifsicle "$work/span.webp" "$budget" "$work/gifsicle" >>"$rows"

echo
echo "A 3-second span of a 1080p clip; budget $budget bytes; time: cropling's one run, a peer's whole search"
echo "(from the span already decoded, which cropling is not given); PSNR against the span's decoded frames."
{
  printf 'tool\tbytes\tframes\tseconds\tPSNR dB\tpeak MB\tsetting\n'
  cut -f2- "$rows"
} | column -t -s $'\t'

echo
echo "Time to the clip's first frame (median of 7):"
hyperfine -N -r 7 --prepare "rm -f $work/first.png" "ffmpeg -v error -y -i $work/clip.mp4 -frames:v 1 $work/first.png" \
  --export-json "$work/f.json" >/dev/null 2>&1
/usr/bin/python3 -c "import json; print('  ffmpeg, first frame to a PNG:  %.3f s' % json.load(open('$work/f.json'))['results'][0]['median'])"
build/bench/clip_bench "$work/clip.mp4"
