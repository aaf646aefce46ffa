#!/usr/bin/env bash
# Times a scripted save against vipsthumbnail doing the same centred square, djpeg decoding the
# whole file at 1/8 and ImageMagick's convert, as whole processes: hyperfine runs them alternately and reports medians; /usr/bin/time
# reports the peers' peak memory, a sampler that of our process tree (in PSS). Prints each figure beside the peers' and the ratio, since absolute times
# drift on shared machines. Installs what it needs (hyperfine, libvips-tools, imagemagick,
# time, libjpeg-turbo-progs).
#
#   bash bench/compare-peers.sh            (after tools/build)
set -euo pipefail
cd "$(dirname "$0")/.."
app="$PWD/build/cropling"
maker="$PWD/build/bench/make_photo"
[ -d build ] || { echo "configure first: bash tools/build" >&2; exit 1; }
cmake --build build --target benchmarks -j"$(nproc)" >/dev/null

bash bench/need-packages.sh hyperfine libvips-tools imagemagick time libjpeg-turbo-progs

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
runs=${RUNS:-7}

# median wall time in ms of a command, interleaved with the peer's by hyperfine
medians() { # name cmd1 cmd2 -> "ms1 ms2"
  hyperfine -N -w 1 -r "$runs" --export-json "$work/$1.json" "$2" "$3" >/dev/null 2>&1
  python3 -c "import json,sys; r=json.load(open('$work/$1.json'))['results']; print(' '.join('%.0f' % (x['median']*1000) for x in r))"
}
peak() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }

ours() { # photo zoom
  echo "env CROPLING_OPEN=$1 CROPLING_TEST_SAVE=$work/ours.png CROPLING_TEST_ZOOM=$2 $app"
}
thumb() { echo "vipsthumbnail $1 -s 128x128 --smartcrop centre -o $work/thumb.png"; }

printf '%-26s %9s %9s %7s %9s %9s %7s\n' "photo, zoom" "ours ms" "peer ms" "ratio" "ours MB" "peer MB" "ratio"
row() { # label photo zoom peer-cmd
  read -r a b < <(medians "$(echo "$1" | tr -c 'a-zA-Z0-9' _)" "$(ours "$2" "$3")" "$4")
  # Ours is a process tree (the program, the process that waits for the helper, the helper), whose
  # helper the program ends without waiting for: sampled, in proportional set size.
  ma=$(/usr/bin/python3 bench/animation_bench.py peak-pss env CROPLING_OPEN="$2" CROPLING_TEST_SAVE="$work/ours.png" \
    CROPLING_TEST_ZOOM="$3" "$app")
  # shellcheck disable=SC2086
  mb=$(( $(peak $4) / 1024 ))
  printf '%-26s %9s %9s %7s %9s %9s %7s\n' "$1" "$a" "$b" "$(python3 -c "print('%.2f' % ($a/$b))")" \
    "$ma" "$mb" "$(python3 -c "print('%.2f' % ($ma/$mb))")"
}

for mp in 24 50 100; do "$maker" "$mp" "$work/p$mp.jpg"; done
vips copy "$work/p24.jpg" "$work/p24.png"
vips copy "$work/p24.jpg" "$work/p24.webp[Q=90]"
heic=""
if vips copy "$work/p24.jpg" "$work/p24.heic[Q=80]" 2>/dev/null; then heic="$work/p24.heic"; fi

echo "vs vipsthumbnail (same centred square)"
row "24 MP JPEG, zoom 1" "$work/p24.jpg" 1 "$(thumb "$work/p24.jpg")"
row "50 MP JPEG, zoom 3" "$work/p50.jpg" 3 "$(thumb "$work/p50.jpg")"
row "100 MP JPEG, zoom 3" "$work/p100.jpg" 3 "$(thumb "$work/p100.jpg")"
row "24 MP PNG, zoom 1" "$work/p24.png" 1 "$(thumb "$work/p24.png")"
row "24 MP WebP, zoom 1" "$work/p24.webp" 1 "$(thumb "$work/p24.webp")"
[ -n "$heic" ] && row "24 MP HEIC, zoom 1" "$heic" 1 "$(thumb "$heic")"
echo "vs djpeg -scale 1/8 (the whole file entropy-decoded at its smallest scale, nothing written)"
row "24 MP JPEG, zoom 1" "$work/p24.jpg" 1 "djpeg -scale 1/8 -outfile /dev/null $work/p24.jpg"
echo "vs ImageMagick convert (centre square, 128x128)"
row "24 MP JPEG, zoom 1" "$work/p24.jpg" 1 \
  "convert $work/p24.jpg -gravity center -crop 4242x4242+0+0 +repage -resize 128x128 $work/convert.png"

# A batch: twelve 24 MP JPEGs rendered into a folder, one file per core with single-threaded
# helpers, against one vipsthumbnail process doing the same twelve.
batch=()
for i in $(seq 1 12); do cp "$work/p24.jpg" "$work/b$i.jpg"; batch+=("$work/b$i.jpg"); done
read -r a b < <(medians batch "$app render ${batch[*]} -o $work/batch/" \
  "vipsthumbnail ${batch[*]} -s 128x128 --smartcrop centre -o $work/t-%s.png")
echo "batch of 12 x 24 MP JPEG into a folder"
printf '%-26s %9s %9s %7s\n' "12 x 24 MP JPEG" "$a" "$b" "$(python3 -c "print('%.2f' % ($a/$b))")"
