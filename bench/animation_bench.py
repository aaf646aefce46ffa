#!/usr/bin/python3
"""The measuring half of compare-animation.sh.

  animation_bench.py make DIR                  the test animations, the same bytes every run
  animation_bench.py row NAME TOOL SRC OUT SECONDS PEAK_MB [SETTING]   one table row
  animation_bench.py peak CMD...               peak memory of CMD and its children, in MB
  animation_bench.py gifsicle|ffmpeg SRC BUDGET WORK   the peer's best fit, as a table row
                                               (at most MAX_FRAMES frames, 50 by default)

Quality is the mean PSNR, over every source frame, of the output frame a viewer shows at that
frame's time against the frame's centred square resized to 128 with Lanczos from full resolution;
a tool that drops frames is judged by the frame it shows instead, so dropping is not free.
"""
import math, os, subprocess, sys, time
import numpy as np
from PIL import Image, ImageDraw

HELPER = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'build', 'bench', 'animation_frames')


def save_gif(path, frames, delay, **extra):
    frames[0].save(path, save_all=True, append_images=frames[1:], duration=delay, loop=0, optimize=False, **extra)


def noise(rng, h, w, cell):
    """Smooth random field with features about `cell` pixels wide, in [0, 1]."""
    grid = rng.random((h // cell + 3, w // cell + 3)).astype(np.float32)
    big = Image.fromarray(grid, 'F').resize((grid.shape[1] * cell, grid.shape[0] * cell), Image.BICUBIC)
    return np.asarray(big)[cell:cell + h, cell:cell + w]


def make_pan(path, rng, frames=125, step=3):
    # A landscape, a hill line and sky, with detail down to single pixels, panned across: the
    # kind of clip GIFs are cut from, dithered to 256 colours per frame as such GIFs are.
    h, w = 270, 480 + step * frames
    octaves = sum(noise(rng, h, w, c) * a for c, a in ((96, 1.0), (32, .6), (12, .45), (4, .35), (2, .3)))
    octaves /= 2.7
    y = np.repeat(np.arange(h, dtype=np.float32)[:, None], w, axis=1)
    horizon = 110 + 60 * noise(rng, 1, w, 64)[0][None, :] + 12 * noise(rng, 1, w, 8)[0][None, :]
    sky = np.stack([120 + 80 * y / h, 160 + 60 * y / h, 235 - 20 * y / h], -1)
    sky += 25 * (noise(rng, h, w, 48) - .5)[..., None] * np.array([1, 1, .6])
    land = np.stack([60 + 110 * octaves, 90 + 100 * octaves, 30 + 60 * octaves], -1)
    land *= (0.55 + 0.6 * (y / h))[..., None]
    scene = np.where((y > horizon)[..., None], land, sky) + rng.normal(0, 4, (h, w, 3))
    scene = np.clip(scene, 0, 255).astype(np.uint8)
    out = [Image.fromarray(scene[:, i * step:i * step + 480]).quantize(256) for i in range(frames)]
    save_gif(path, out, 40)


def make_cartoon(path, frames=60):
    # Flat colours with hard edges on a transparent background, shapes moving and turning.
    palette = [255, 0, 255, 20, 20, 20, 230, 60, 50, 250, 210, 40, 50, 110, 220, 70, 180, 90, 250, 250, 250]
    out = []
    for i in range(frames):
        t = i / frames
        im = Image.new('P', (320, 320), 0)
        im.putpalette(palette)
        d = ImageDraw.Draw(im)
        bx, by = 40 + 200 * t, 60 + 160 * abs(math.sin(math.pi * 2 * t))
        d.ellipse((bx, by, bx + 80, by + 80), fill=3, outline=1, width=4)
        d.ellipse((bx + 22, by + 25, bx + 32, by + 35), fill=1)
        d.ellipse((bx + 48, by + 25, bx + 58, by + 35), fill=1)
        a = 2 * math.pi * t
        square = [(230 + 45 * math.cos(a + k * math.pi / 2), 230 + 45 * math.sin(a + k * math.pi / 2)) for k in range(4)]
        d.polygon(square, fill=2, outline=1)
        tx = 300 - 260 * t
        d.polygon([(tx, 300), (tx + 30, 250), (tx + 60, 300)], fill=4, outline=1)
        d.rectangle((0, 305, 320, 320), fill=5)
        d.ellipse((150 + 20 * math.sin(a), 20, 210 + 20 * math.sin(a), 50), fill=6, outline=1)
        out.append(im)
    save_gif(path, out, 50, transparency=0, disposal=2)


def make_screen(path, rng, frames=500):
    # A window of text-like lines that stays put while a line is typed, its cursor blinks and a
    # progress bar and spinner move: what a screen recording of an editor or terminal is.
    palette = [236, 236, 236, 255, 255, 255, 40, 70, 130, 60, 60, 60, 120, 120, 120, 225, 230, 240,
               30, 120, 230, 200, 40, 40]
    base = Image.new('P', (640, 360), 0)
    base.putpalette(palette)
    d = ImageDraw.Draw(base)
    d.rectangle((20, 14, 620, 346), fill=1, outline=4)
    d.rectangle((20, 14, 620, 38), fill=2)
    d.rectangle((21, 39, 150, 345), fill=5)
    for row in range(26):
        x = 30
        for _ in range(int(rng.integers(1, 3))):
            width = int(rng.integers(14, 50))
            d.rectangle((x, 48 + row * 11, x + width, 54 + row * 11), fill=4)
            x += width + 6
    for row in range(22):
        x = 165 + 12 * int(rng.integers(0, 4))
        while x < 600 and rng.random() > .12:
            width = int(rng.integers(6, 48))
            d.rectangle((x, 50 + row * 12, min(x + width, 605), 57 + row * 12), fill=3 if rng.random() > .2 else 6)
            x += width + 5
    words = rng.integers(6, 40, 60)
    out = []
    for i in range(frames):
        im = base.copy()
        d = ImageDraw.Draw(im)
        d.rectangle((165, 318, 605, 326), fill=1)
        x = 165
        for width in words[:i // 9]:
            if x + width > 600:
                break
            d.rectangle((x, 318, x + width, 325), fill=3)
            x += width + 5
        if (i // 10) % 2 == 0:
            d.rectangle((x, 316, x + 2, 327), fill=7)
        d.rectangle((470, 20, 470 + 140 * i // frames, 31), fill=6)
        a = 2 * math.pi * i / 12
        d.ellipse((440 + 6 * math.cos(a), 22 + 6 * math.sin(a), 446 + 6 * math.cos(a), 28 + 6 * math.sin(a)), fill=1)
        out.append(im)
    save_gif(path, out, 50)


def make_turn(path, frames=60):
    # A real photograph (scikit-image's coffee cup) turning a quarter about its centre: its
    # corners are opaque in the first frame and transparent after, the case palettes shared
    # between frames get wrong.
    from skimage import data
    photo = Image.fromarray(data.coffee()).crop((100, 0, 500, 400))
    out = []
    for i in range(frames):
        turned = photo.convert('RGBA').rotate(90 * i / frames, resample=Image.BICUBIC)
        alpha = turned.getchannel('A').point(lambda a: 255 if a >= 128 else 0)
        rgb = turned.convert('RGB').quantize(255)
        rgb.info['transparency'] = 255
        frame = rgb.copy()
        frame.paste(255, mask=alpha.point(lambda a: 255 - a))
        out.append(frame)
    save_gif(path, out, 50, transparency=255, disposal=2)


def make_photo_pan(path, frames=120, step=2):
    # A real photograph (scikit-image's astronaut) panned across, 25 frames a second.
    from skimage import data
    photo = np.asarray(Image.fromarray(data.astronaut()).resize((512 + step * frames, 512), Image.LANCZOS))
    out = [Image.fromarray(photo[96:416, i * step:i * step + 320]).quantize(256) for i in range(frames)]
    save_gif(path, out, 40)


def strip(mode, path, cache=None):
    """(frames, delays in ms) of an animation through the helper; cached for the sources."""
    png = cache or path + '.strip.png'
    if cache and os.path.exists(cache):
        delays = open(cache + '.delays').read()
    else:
        delays = subprocess.run([HELPER, mode, path, png], check=True, capture_output=True, text=True).stdout
        if cache:
            open(cache + '.delays', 'w').write(delays)
    frames = np.asarray(Image.open(png).convert('RGB'), dtype=np.float64).reshape(-1, 128, 128, 3)
    # Viewers play the shortest delays as a tenth of a second; judge the timing they show.
    return frames, [d if d >= 20 else 100 for d in map(int, delays.split())]


def as_browsers_show(path):
    """(frames, delays in ms) of a GIF as browsers show it: ImageMagick composes the frames with
    each one's disposal, a frame disposed to the background leaving transparency (the GIF reader
    under libvips shows the background colour there instead); flattened on the same grey."""
    import glob, tempfile
    with tempfile.TemporaryDirectory() as work:
        subprocess.run(['convert', path, '-coalesce', f'PNG32:{work}/f-%05d.png'], check=True, capture_output=True)
        frames = []
        for name in sorted(glob.glob(f'{work}/f-*.png')):
            rgba = np.asarray(Image.open(name).convert('RGBA'), dtype=np.float64)
            alpha = rgba[..., 3:4] / 255
            frames.append(rgba[..., :3] * alpha + 128 * (1 - alpha))
    im = Image.open(path)
    delays = []
    for i in range(getattr(im, 'n_frames', 1)):
        im.seek(i)
        delays.append(int(im.info.get('duration', 100)))
    return np.stack(frames), [d if d >= 20 else 100 for d in delays]


def mean_psnr(src, out):
    # A clip's span is judged against a lossless copy of its decoded frames (REFERENCE), whatever
    # the tool read.
    src = os.environ.get('REFERENCE', src)
    ref, ref_delays = strip('reference', src, src + '.ref.png')
    got, got_delays = as_browsers_show(out)
    starts, total = np.cumsum([0] + got_delays[:-1]), 0
    values = []
    for frame, delay in zip(ref, ref_delays):
        shown = got[np.searchsorted(starts, total, side='right') - 1]
        mse = np.mean((frame - shown) ** 2)
        values.append(100.0 if mse == 0 else 10 * math.log10(255 ** 2 / mse))
        total += delay
    return float(np.mean(values)), len(got)


def peak_mb(cmd, source='status', field='VmRSS:', check=True):
    """Runs cmd, sampling the resident memory of it and its descendants; the peak in MB."""
    def tree_kb(pid):
        try:
            kb = next(int(l.split()[1]) for l in open(f'/proc/{pid}/{source}') if l.startswith(field))
            children = open(f'/proc/{pid}/task/{pid}/children').read().split()
        except (OSError, StopIteration):
            return 0
        return kb + sum(tree_kb(int(c)) for c in children)
    peak = 0
    proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    while proc.poll() is None:
        peak = max(peak, tree_kb(proc.pid))
        time.sleep(0.002)
    if check and proc.returncode != 0:
        sys.exit(f'failed ({proc.returncode}): {" ".join(cmd)}')
    return peak / 1024


def peak_pss_mb(cmd):
    """As peak_mb, in proportional set size: pages the processes share (a decoding helper and the
    process that waits for it) count once."""
    return peak_mb(cmd, 'smaps_rollup', 'Pss:', check=False)


def row(name, tool, src, out, seconds, peak, setting='-'):
    psnr, kept = mean_psnr(src, out)
    print(f'{name}\t{tool}\t{os.path.getsize(out)}\t{kept}\t{float(seconds):.2f}\t{psnr:.2f}\t{float(peak):.0f}\t{setting}')


def search(src, budget, trials):
    """Lets the peer's search run its trials, each choosing what to try next, and returns the fit
    with the best PSNR; the time is that of the whole search, as a user pays it, and the memory that of
    the winning commands."""
    spent, fits = 0.0, []
    def timed(cmd):
        nonlocal spent
        t0 = time.perf_counter()
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        spent += time.perf_counter() - t0
    def attempt(setting, cmds, out):
        timed(cmds[-1])
        if os.path.getsize(out) > budget:
            return False
        fits.append((mean_psnr(src, out)[0], setting, cmds, out))
        return True
    trials(timed, attempt)
    if not fits:
        return None
    psnr, setting, cmds, out = max(fits)
    return setting, spent, max(peak_mb(cmd) for cmd in cmds), out


def capped_steps(steps, count, cap):
    """The frame steps whose frame count is within the chat service's cap."""
    return [step for step in steps if -(-count // step) <= cap] or [-(-count // cap)]


def gifsicle_trials(src, work, count, cap):
    # libvips resizes and writes the GIF (frames dropped evenly if nothing else fits), gifsicle
    # then reduces colours and trades exactness for size: the smallest loss that fits, per palette.
    def run(timed, attempt):
        for step in capped_steps((1, 2, 3, 4, 6, 8, 12, 16), count, cap):
            base = f'{work}/vips-{step}.gif'
            resize = [HELPER, 'resize', src, base, str(step)]
            timed(resize)
            found = False
            for colors in (256, 128, 64, 32):
                def go(lossy):
                    out = f'{work}/gs-{step}-{colors}-{lossy}.gif'
                    cmd = ['gifsicle', '-O3', f'--lossy={lossy}', f'--colors={colors}', base, '-o', out]
                    return attempt(f'step {step}, {colors} colours, lossy {lossy}', [resize, cmd], out)
                if go(0):
                    found = True
                    continue
                if not go(200):
                    continue
                low, high = 0, 200  # low does not fit, high does
                while high - low > 8:
                    mid = (low + high) // 2
                    low, high = (low, mid) if go(mid) else (mid, high)
                found = True
            if found:
                break
    return run


def ffmpeg_trials(src, work, fps, count, cap):
    # Every frame the cap allows, then fewer, each with three ditherings and the most colours that fit.
    def run(timed, attempt):
        first_fit, full = None, False
        for step in capped_steps((1, 2, 3, 4, 6, 8, 12, 16, 24), count, cap):
            for dither in ('sierra2_4a', 'bayer:bayer_scale=2', 'none'):
                for colors in (256, 128, 64, 32, 16):
                    out = f'{work}/ff-{step}-{dither[:5]}-{colors}.gif'
                    rate = f'fps={fps / step:.6f},' if step > 1 else ''
                    graph = (f'{rate}crop=min(iw\\,ih):min(iw\\,ih),scale=128:128:flags=lanczos,split[a][b];'
                             f'[a]palettegen=max_colors={colors}[p];'
                             f'[b][p]paletteuse=dither={dither}:diff_mode=rectangle')
                    cmd = ['ffmpeg', '-v', 'error', '-y', '-i', src, '-filter_complex', graph, '-loop', '0', out]
                    if attempt(f'step {step}, {dither}, {colors} colours', [cmd], out):
                        first_fit = first_fit or step
                        full = full or (step == first_fit and colors == 256)
                        break
            # One frame rate beyond the first that fits, in case more colours at fewer frames wins.
            if full or (first_fit and step > first_fit):
                break
    return run


if __name__ == '__main__':
    what, args = sys.argv[1], sys.argv[2:]
    if what == 'make':
        rng = np.random.default_rng(20240601)
        make_pan(f'{args[0]}/pan.gif', rng)
        make_cartoon(f'{args[0]}/cartoon.gif')
        make_screen(f'{args[0]}/screen.gif', rng)
        make_turn(f'{args[0]}/turn.gif')
        make_photo_pan(f'{args[0]}/photo-pan.gif')
    elif what == 'row':
        row(*args)
    elif what == 'peak':
        print(f'{peak_mb(args):.0f}')
    elif what == 'peak-pss':
        print(f'{peak_pss_mb(args):.0f}')
    elif what in ('gifsicle', 'ffmpeg'):
        src, budget, work = args[0], int(args[1]), args[2]
        cap = int(os.environ.get('MAX_FRAMES', '50'))
        delays = strip('reference', os.environ.get('REFERENCE', src), os.environ.get('REFERENCE', src) + '.ref.png')[1]
        count = len(delays)
        trials = (gifsicle_trials(src, work, count, cap) if what == 'gifsicle'
                  else ffmpeg_trials(src, work, 1000 / delays[0], count, cap))
        found = search(src, budget, trials)
        name = os.path.basename(src)[:-4]
        if found is None:
            print(f'{name}\t{what}\t-\t-\t-\t-\t-\tnothing fits')
        else:
            setting, spent, peak, out = found
            row(name, what, src, out, spent, peak, setting)
