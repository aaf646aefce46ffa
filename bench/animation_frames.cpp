// The frames compare-animation.sh judges, all through libvips so every tool is measured with the
// same GIF decoder and the same Lanczos resize:
//
//   animation_frames reference IN STRIP.png   each frame's centred square at 128 (lanczos3)
//   animation_frames decode IN STRIP.png      each frame as a viewer shows it
//   animation_frames resize IN OUT.gif [STEP] the 128-pixel frames as a GIF, every STEP-th frame
//                                             kept and the delays of the dropped ones added to it
//
// Strips are the frames stacked top to bottom, flattened on one grey so transparency is judged
// the same way for everyone. reference and decode print the frame delays in milliseconds.

#include <vips/vips8>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

using vips::VImage;

namespace {

constexpr int kSide = 128;
const std::vector<double> kBackground = {128.0, 128.0, 128.0};

struct Animation {
    std::vector<VImage> frames; // RGBA, uchar
    std::vector<int> delays;
};

Animation load(const char* path) {
    VImage all = VImage::new_from_file(path, VImage::option()->set("n", -1)->set("access", VIPS_ACCESS_SEQUENTIAL));
    if (all.bands() == 3)
        all = all.bandjoin_const({255.0});
    const int pageHeight = vips_image_get_page_height(all.get_image());
    const int count = all.height() / pageHeight;
    Animation animation;
    for (int i = 0; i < count; ++i)
        animation.frames.push_back(all.crop(0, i * pageHeight, all.width(), pageHeight));
    if (vips_image_get_typeof(all.get_image(), "delay") != 0)
        animation.delays = all.get_array_int("delay");
    animation.delays.resize(size_t(count), 100);
    return animation;
}

// The centred square, resized with its colours weighted by their opacity so that transparent
// pixels lend no colour to their neighbours; float, premultiplied.
VImage fitted(const VImage& frame) {
    const int side = std::min(frame.width(), frame.height());
    const VImage square = frame.crop((frame.width() - side) / 2, (frame.height() - side) / 2, side, side);
    VImage small = square.premultiply().resize(double(kSide) / side,
                                               VImage::option()->set("kernel", VIPS_KERNEL_LANCZOS3));
    // A rounding scale can leave a pixel too many or too few; the edge is repeated or cut.
    if (small.width() != kSide || small.height() != kSide)
        small = small.gravity(VIPS_COMPASS_DIRECTION_NORTH_WEST, kSide, kSide,
                              VImage::option()->set("extend", VIPS_EXTEND_COPY));
    return small;
}

// Made in memory one at a time, so only one frame's pipeline is alive and the source is read once.
VImage toUchar(const VImage& image) {
    return image.round(VIPS_OPERATION_ROUND_RINT).cast(VIPS_FORMAT_UCHAR).copy_memory();
}

void printDelays(const std::vector<int>& delays) {
    for (size_t i = 0; i < delays.size(); ++i)
        std::printf(i ? " %d" : "%d", delays[i]);
    std::printf("\n");
}

void saveStrip(const std::vector<VImage>& frames, const char* path) {
    VImage::arrayjoin(frames, VImage::option()->set("across", 1))
        .pngsave(path, VImage::option()->set("compression", 1));
}

} // namespace

int main(int argc, char** argv) {
    if (VIPS_INIT(argv[0]))
        vips_error_exit(nullptr);
    if (argc < 4) {
        std::fprintf(stderr, "usage: animation_frames reference|decode|resize IN OUT [STEP]\n");
        return 2;
    }
    const Animation animation = load(argv[2]);
    std::vector<VImage> out;
    if (std::strcmp(argv[1], "reference") == 0) {
        // Flattening premultiplied colour is adding the background where the frame is see-through.
        for (const VImage& frame : animation.frames) {
            const VImage small = fitted(frame);
            const VImage clear = (small[3] * (-1.0 / 255)).linear({1.0}, {1.0});
            out.push_back(toUchar(small.extract_band(0, VImage::option()->set("n", 3)) + clear * kBackground));
        }
        saveStrip(out, argv[3]);
        printDelays(animation.delays);
    } else if (std::strcmp(argv[1], "decode") == 0) {
        for (const VImage& frame : animation.frames)
            out.push_back(frame.flatten(VImage::option()->set("background", kBackground)).copy_memory());
        saveStrip(out, argv[3]);
        printDelays(animation.delays);
    } else if (std::strcmp(argv[1], "resize") == 0) {
        const size_t step = argc > 4 ? size_t(std::max(1, std::atoi(argv[4]))) : 1;
        std::vector<int> delays;
        for (size_t i = 0; i < animation.frames.size(); ++i) {
            if (i % step == 0) {
                out.push_back(toUchar(fitted(animation.frames[i]).unpremultiply()));
                delays.push_back(0);
            }
            delays.back() += animation.delays[i];
        }
        VImage gif = VImage::arrayjoin(out, VImage::option()->set("across", 1)).copy();
        gif.set("page-height", kSide);
        gif.set("delay", delays);
        gif.set("loop", 0);
        gif.gifsave(argv[3]);
    } else {
        std::fprintf(stderr, "animation_frames: unknown mode %s\n", argv[1]);
        return 2;
    }
    return 0;
}
