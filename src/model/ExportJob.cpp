#include "ExportJob.h"

#include "core/ClipSpan.h"
#include "image/DecoderSession.h"
#include "image/FaceFraming.h"
#include "image/VipsLayer.h"
#include "io/LocalPath.h"
#include "model/PictureLoader.h"

namespace cropling {

namespace {

ExportOutcome failed(ExportFailure failure, std::optional<OpenFailure> why = std::nullopt, const QString& detail = QString()) {
    ExportOutcome outcome;
    outcome.failure = failure;
    outcome.why = why;
    outcome.detail = detail;
    return outcome;
}

// The file as this export needs it: a picture of its header alone, which the helper renders, or a
// decode at a window's working resolution (every frame of an animation that becomes a GIF) for
// auto-framing to look at.
Outcome<PicturePtr> openForExport(const QUrl& file, const FramingRequest& framing, bool animate) {
    // Looking for a face or a background needs the pixels here.
    const bool decodeHere = framing.autoFrame || framing.cutout;
    const PictureInput input = openPictureFile(localPathBytes(file));
    if (!input.isValid())
        return {std::nullopt, input.why()};
    auto session = std::make_shared<DecoderSession>();
    if (!session->start(input, !decodeHere))
        return {};
    if (session->holdsClip()) {
        // The clip's length comes with its header; the span asked for is kept to it.
        auto opened = session->openForRender();
        if (!opened)
            return opened;
        session->setSpan(requestedSpan(framing.clipStartMs, framing.clipEndMs, framing.clipSpeed, session->clipMs()));
        if (!decodeHere)
            return opened;
    }
    if (!decodeHere)
        return session->openForRender();
    const int side = workingShorterSide(1.0);
    auto picture = session->decode(side);
    if (!picture || !animate || session->frameCount() < 2)
        return picture;
    return session->frames(side);
}

} // namespace

ExportJob::ExportJob(PicturePtr picture, const Framing& framing, const ExportRequest& request, const QString& input)
    : picture_(std::move(picture)), framing_(framing), request_(request), input_(input) {}

ExportJob::ExportJob(const QUrl& file, const FramingRequest& framing, const ExportRequest& request, const QString& input)
    : file_(file), framingRequest_(framing), request_(request), input_(input) {}

ExportOutcome ExportJob::run(Progress* progress) const {
    ExportOutcome outcome = [this, progress] {
        if (!file_.isValid())
            return exportEmoji(picture_.get(), framing_, request_, progress);
        // A PNG of an animation is its first frame: the others are never decoded for it.
        const auto opened = openForExport(file_, framingRequest_, request_.format != ExportFormat::Png);
        if (!opened)
            return failed(ExportFailure::NotOpened, opened.why);
        PicturePtr picture = *opened.value;
        if (framingRequest_.turn != 1)
            picture = picture->turned(framingRequest_.turn);
        if (!picture)
            return failed(ExportFailure::NotOpened, OpenFailure::TooLarge);
        if (framingRequest_.cutout) {
            const VipsLayer* layer = VipsLayer::get();
            picture = layer ? layer->withoutBackground(*picture) : nullptr;
            if (!picture)
                return failed(ExportFailure::NoBackground);
        }
        const std::optional<QSizeF> size = picture->nominalSize();
        Framing framing;
        if (framingRequest_.autoFrame) {
            const AutoFramingOutcome found = autoFrame(*picture);
            if (!found.framing)
                return failed(ExportFailure::NotFramed, std::nullopt, found.why);
            framing = {found.framing->zoom, clampedOffset(size, found.framing->zoom, found.framing->offset)};
        } else {
            // The zoom is taken as given, with no range check; the offset is clamped to it.
            framing.zoom = framingRequest_.zoom.value_or(1.0);
            if (framingRequest_.offset)
                framing.offset = clampedOffset(size, framing.zoom, *framingRequest_.offset);
        }
        return exportEmoji(picture.get(), framing, request_, progress);
    }();
    outcome.input = input_;
    outcome.maxBytes = request_.limits.maxBytes;
    return outcome;
}

} // namespace cropling
