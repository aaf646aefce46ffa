#!/usr/bin/env bash
# Writes the seed corpora for the fuzzers into the folder given (default build-fuzz/corpus): small
# pictures of every format the program opens, in several shapes, and the texts the other harnesses
# read. Needs libvips-tools, ImageMagick and ffmpeg.
set -euo pipefail
out="${1:-build-fuzz/corpus}"
mkdir -p "$out/decode" "$out/text" "$out/clipboard" "$out/clip"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A 4-byte prefix picks the zoom, the offset and the decode path (see decode_fuzzer.cpp).
seed() { # file name prefix-hex
  { printf "$3"; cat "$1"; } > "$out/decode/$2"
}

convert -size 48x32 gradient:red-blue "$work/src-grad.png"
convert -size 40x40 xc:none -fill red -draw "circle 20,20 20,5" "$work/src-alpha.png"
for base in grad alpha; do

  for fmt in png jpg webp gif tif heic avif jxl; do
    vips copy "$work/src-$base.png" "$work/$base.$fmt" 2>/dev/null || continue
    seed "$work/$base.$fmt" "$base-$fmt" '\x32\x00\x00\x00'
    seed "$work/$base.$fmt" "$base-$fmt-deferred" '\x64\x10\xf0\x01'
  done
done
vips copy "$work/src-grad.png" "$work/progressive.jpg[interlace]"
seed "$work/progressive.jpg" progressive-jpg '\x32\x00\x00\x01'
for orient in TopRight BottomRight RightTop LeftBottom; do
  convert "$work/src-grad.png" -orient "$orient" "$work/$orient.jpg"
  seed "$work/$orient.jpg" "orientation-$orient" '\x50\x20\x20\x00'
done
for fmt in bmp ico ppm pgm pbm; do
  convert "$work/src-grad.png" "$work/grad.$fmt"
  seed "$work/grad.$fmt" "grad-$fmt" '\x32\x00\x00\x00'
done
cat > "$work/logo.svg" <<'SVG'
<svg xmlns="http://www.w3.org/2000/svg" width="40" height="30"><rect width="40" height="30" fill="#f80"/><circle cx="20" cy="15" r="9" fill="#08f"/></svg>
SVG
seed "$work/logo.svg" logo-svg '\x32\x00\x00\x00'
seed "$work/logo.svg" logo-svg-deferred '\x32\x00\x00\x01'

# Short clips in every container and codec the video helper takes, and sound alone.
clip() { # name ffmpeg-output-options...
  local name="$1"
  shift
  ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=64x36:rate=10 -t 0.6 "$@" "$out/clip/$name" || true
}
clip h264.mp4 -c:v libx264 -pix_fmt yuv420p
clip h264.mov -c:v libx264 -pix_fmt yuv420p -metadata:s:v:0 rotate=90
clip hevc.mp4 -c:v libx265 -x265-params log-level=none
clip vp8.webm -c:v libvpx
clip vp9.mkv -c:v libvpx-vp9
clip mpeg4.mp4 -c:v mpeg4
ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=duration=0.3 "$out/clip/sound.m4a" || true
# Sizes phones and sites make, none a multiple of 16, odd ones, and the pixel formats encoders write.
sized() { # name size ffmpeg-output-options...
  local name="$1" size="$2"
  shift 2
  ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=$size:rate=10 -t 0.3 "$@" "$out/clip/$name" || true
}
sized 426x240.mp4 426x240 -c:v libx264 -pix_fmt yuv420p
sized 88x72.mov 88x72 -c:v libx264 -pix_fmt yuv420p
sized 10x10.webm 10x10 -c:v libvpx-vp9
sized 3x2.mkv 3x2 -c:v libx264 -pix_fmt yuv444p
sized 99x67.mkv 99x67 -c:v libx264 -pix_fmt yuv444p
sized 150x86-10bit.mkv 150x86 -c:v libx264 -pix_fmt yuv422p10le
sized 130x70-alpha.webm 130x70 -c:v libvpx-vp9 -pix_fmt yuva420p
sized 66x50-yuvj.mp4 66x50 -c:v libx264 -pix_fmt yuvj420p
# The eight display matrices a camera may write (turns, a front camera's mirror, the diagonals).
if [ -f "$out/clip/88x72.mov" ]; then
  python3 - "$out/clip" <<'PY'
import struct, sys
folder = sys.argv[1]
movie = open(folder + "/88x72.mov", "rb").read()
at = movie.find(b"tkhd")
matrix = at + (56 if movie[at + 4] == 1 else 44)
for n, (a, b, c, d) in enumerate([(-1, 0, 0, 1), (1, 0, 0, -1), (0, 1, 1, 0), (0, -1, -1, 0), (0, 1, -1, 0)]):
    patched = bytearray(movie)
    for offset, value in ((0, a), (4, b), (12, c), (16, d)):
        struct.pack_into(">i", patched, matrix + offset, value << 16)
    open(f"{folder}/matrix-{n}.mov", "wb").write(patched)
PY
fi

printf 'My Cat Photo.JPG' > "$out/text/name"
printf 'caf\xe9 \xff.png' > "$out/text/invalid-utf8"
printf '\xe2\x84\xaa' > "$out/text/kelvin"
printf '1.5' > "$out/text/number"
printf '0x1p-3' > "$out/text/hex"
printf -- '-inf' > "$out/text/infinity"

printf 'file:///tmp/a.png\r\nfile:///tmp/b%%20c.jpg\r\n' > "$out/clipboard/uri-list"
printf 'copy\nfile:///home/me/Pictures/cat.png\nfile:///x' > "$out/clipboard/gnome"
printf '# comment\r\nhttps://example.org/x.png\r\n' > "$out/clipboard/remote"
echo "corpora in $out: $(ls "$out/decode" | wc -l) pictures, $(ls "$out/clip" | wc -l) clips, $(ls "$out/text" | wc -l) texts, $(ls "$out/clipboard" | wc -l) clipboard payloads"
