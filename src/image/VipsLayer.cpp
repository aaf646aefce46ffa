#include "VipsLayer.h"

#include "image/ProgramFiles.h"


#include <dlfcn.h>

#include <cstdio>

// Defined when the layer is linked into the program; otherwise it is looked up in the module.
extern "C" const cropling::VipsLayer* cropling_vips_layer() __attribute__((weak));

namespace cropling {

QByteArray VipsLayer::modulePath() {
    if (const QByteArray own = qgetenv("CROPLING_VIPS_LAYER"); !own.isEmpty())
        return own;
    return programFile(QStringLiteral("libcropling-vips.so"), "lib/cropling", CROPLING_VIPS_LAYER_BUILD_PATH);
}

const VipsLayer* VipsLayer::get() {
    static const VipsLayer* const layer = []() -> const VipsLayer* {
        if (cropling_vips_layer)
            return cropling_vips_layer();
        const QByteArray path = modulePath();
        // Its own symbols stay its own: the module carries the code it shares with the program.
        void* module = ::dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
        using Entry = const VipsLayer* (*)();
        const auto entry = module ? reinterpret_cast<Entry>(::dlsym(module, "cropling_vips_layer")) : nullptr;
        if (!entry) {
            std::fprintf(stderr, "cropling: cannot load %s: %s\n", path.constData(), ::dlerror());
            return nullptr;
        }
        return entry();
    }();
    return layer;
}

AutoFramingOutcome autoFrame(const Picture& picture, const Framing& current) {
    const VipsLayer* layer = VipsLayer::get();
    if (!layer)
        return {std::nullopt, QStringLiteral("no libvips layer (%1)").arg(QString::fromLocal8Bit(VipsLayer::modulePath()))};
    return layer->autoFrame(picture, current);
}

AutoFramingOutcome autoFrame(const PixelView& pixels, QSize full) {
    if (pixels.width < 1 || pixels.height < 1 || (pixels.bands != 3 && pixels.bands != 4))
        return {std::nullopt, nothingToFrame()};
    const SearchCopy copy = searchCopyOf(pixels);
    // libvips is loaded only for the busiest part, which only a picture without a face needs.
    return framingOfFaces(copy, full, [&]() -> std::optional<AutoFraming> {
        const VipsLayer* layer = VipsLayer::get();
        return layer ? layer->busiestFraming(copy, full, {}) : std::nullopt;
    });
}

} // namespace cropling
