#!/usr/bin/env bash
# Removing a plain background from 24 MP photos (6000 x 4000 JPEGs made from scikit-image's
# photographs, whose true masks are known): the time from `render --cutout` to the PNG (median of
# 3), the process tree's peak memory, and the IoU of the emoji's opaque part against the mask.
#
#   bash bench/cutout-bench.sh          (after tools/build)
set -euo pipefail
cd "$(dirname "$0")/.."
app="$PWD/build/cropling"
measure="/usr/bin/python3 $PWD/bench/animation_bench.py"
[ -d build ] || { echo "configure first: bash tools/build" >&2; exit 1; }
cmake --build build --target benchmarks -j"$(nproc)" >/dev/null
bash bench/need-packages.sh hyperfine python3-pil python3-numpy python3-skimage

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 - "$work" <<'PY'
import sys
import numpy as np
from PIL import Image, ImageDraw
work, W, H = sys.argv[1], 6000, 4000
data = '/usr/lib/python3/dist-packages/skimage/data/'
rng = np.random.default_rng(3)
def save(name, subject, ground, mask):
    img = np.where(mask[..., None], subject, ground).astype(np.uint8)
    Image.fromarray(img).save(f'{work}/{name}.jpg', quality=90)
    Image.fromarray((mask * 255).astype(np.uint8)).save(f'{work}/{name}-mask.png')
def ellipse(box):
    m = Image.new('L', (W, H), 0)
    ImageDraw.Draw(m).ellipse(box, fill=255)
    return np.asarray(m) > 127
photo = lambda n: np.asarray(Image.open(data + n).convert('RGB').resize((W, H), Image.LANCZOS))
ring = ellipse((1500, 500, 4500, 3500)) & ~ellipse((2500, 1500, 3500, 2500))
save('ring', np.array([250, 150, 40]), np.array([60, 110, 200]), ring)
y = np.linspace(0, 1, H)[:, None, None]
grad = np.array([90, 90, 100]) * (1 - y) + np.array([170, 170, 180]) * y + rng.normal(0, 4, (H, W, 3))
save('studio', photo('chelsea.png'), np.clip(grad, 0, 255), ellipse((1600, 300, 4400, 3700)))
save('white', photo('coffee.png'), np.array([250, 250, 250]), ellipse((1400, 600, 4600, 3400)))
PY
printf '%-8s %8s %8s %6s\n' photo seconds 'peak MB' IoU
for name in ring studio white; do
  src="$work/$name.jpg" out="$work/$name.png"
  hyperfine -N -r 3 --prepare "rm -f $out" --export-json "$work/t.json" "$app render $src --cutout -o $out" >/dev/null 2>&1
  seconds=$(/usr/bin/python3 -c "import json; print('%.2f' % json.load(open('$work/t.json'))['results'][0]['median'])")
  rm -f "$out"; mb=$($measure peak "$app" render "$src" --cutout -o "$out")
  iou=$(/usr/bin/python3 -c "
import numpy as np; from PIL import Image
m = np.asarray(Image.open('$work/$name-mask.png').crop((1000, 0, 5000, 4000)).resize((128, 128), Image.LANCZOS)) >= 128
a = np.asarray(Image.open('$out'))[..., 3] >= 128
print('%.3f' % ((a & m).sum() / (a | m).sum()))")
  printf '%-8s %8s %8s %6s\n' "$name" "$seconds" "$mb" "$iou"
done
