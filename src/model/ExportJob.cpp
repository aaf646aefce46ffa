#include "ExportJob.h"

#include "core/ClipSpan.h"
#include "core/Orientation.h"
#include "core/SpareThread.h"
#include "core/StatusText.h"
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

// A face is looked for on a decode of about this shorter side: the search reduces to 480 pixels
// on the longer side, and a JPEG decodes this small from its DCT at a fraction of the cost.
constexpr int kFaceSearchSide = 360;

// What became of the span asked of a clip: the clip's length, the span taken (none when it would
// start past the end), whether it was cut at the clip's end, and whether it differs from what was
// asked for another reason (an animation's shortest and longest play).
struct SpanCheck {
    qint64 clipMs = 0;
    std::optional<ClipSpan> taken;
    bool shortened = false;
    bool changed = false;
};

// The file as this export needs it: a picture of its header alone, which the helper renders, or a
// decode at a window's working resolution (every frame of an animation that becomes a GIF) for
// the background's removal or an animation's auto-framing to work on. `searched`, for the
// auto-framing of a still: a small decode of it to look for a face in, while the helper renders.
Outcome<PicturePtr> openForExport(const QUrl& file, const FramingRequest& framing, bool animate,
                                  std::optional<PixelRows>* searched, SpanCheck* span) {
    const PictureInput input = openPictureFile(localPathBytes(file));
    if (!input.isValid())
        return {std::nullopt, input.why()};
    // The background's removal needs the pixels here, and so does the auto-framing of a GIF.
    const bool decodeHere = framing.cutout || (framing.autoFrame && animate);
    auto session = std::make_shared<DecoderSession>();
    if (!session->start(input, !decodeHere))
        return {};
    Outcome<PicturePtr> clip;
    if (session->holdsClip()) {
        // The clip's length comes with its header; the span asked for is kept to it.
        clip = session->openForRender();
        if (!clip) {
            clip.codec = session->refusedCodec();
            return clip;
        }
        const qint64 length = session->clipMs();
        span->clipMs = length;
        if (length > 0 && framing.clipStartMs && *framing.clipStartMs >= length)
            return {};
        span->taken = requestedSpan(framing.clipStartMs, framing.clipEndMs, framing.clipSpeed, length);
        span->shortened = length > 0 && framing.clipEndMs && *framing.clipEndMs > length;
        span->changed = (framing.clipStartMs && span->taken->startMs != *framing.clipStartMs) ||
                        (framing.clipEndMs && span->taken->endMs != *framing.clipEndMs);
        session->setSpan(*span->taken);
    }
    if (!decodeHere) {
        if (framing.autoFrame) {
            // The face finder is loaded while the helper decodes (without a spare thread, by the
            // search itself); the future waits for it.
            const auto prepared = onSpareThread(&prepareFaceSearch);
            // The direct helper's first look when it has one (a JPEG), else a small decode.
            auto small = session->previewPixels(kFaceSearchSide);
            if (!small && !small.why)
                small = session->decodePixels(kFaceSearchSide);
            if (!small)
                return {std::nullopt, small.why};
            *searched = std::move(small.value->rows);
        }
        return session->holdsClip() ? clip : session->openForRender();
    }
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
        std::optional<PixelRows> searched;
        SpanCheck span;
        const auto opened = openForExport(file_, framingRequest_, request_.format != ExportFormat::Png, &searched, &span);
        if (!opened && !opened.why && span.clipMs > 0 && !span.taken)
            return failed(ExportFailure::SpanPastEnd, std::nullopt, clipTimeText(span.clipMs));
        if (!opened) {
            ExportOutcome refused = failed(ExportFailure::NotOpened, opened.why);
            refused.codec = opened.codec;
            return refused;
        }
        PicturePtr picture = *opened.value;
        if (framingRequest_.turn != 1) {
            picture = picture->turned(framingRequest_.turn);
            if (searched)
                searched = turnedUpright(*searched, framingRequest_.turn);
        }
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
            const AutoFramingOutcome found =
                searched ? autoFrame(searched->view(), picture->fullSize()) : autoFrame(*picture);
            if (!found.framing)
                return failed(ExportFailure::NotFramed, std::nullopt, found.why);
            framing = {found.framing->zoom, clampedOffset(size, found.framing->zoom, found.framing->offset)};
        } else {
            // The zoom is taken as given, with no range check; the offset is clamped to it.
            framing.zoom = framingRequest_.zoom.value_or(1.0);
            if (framingRequest_.offset)
                framing.offset = clampedOffset(size, framing.zoom, *framingRequest_.offset);
        }
        ExportOutcome made = exportEmoji(picture.get(), framing, request_, progress);
        if (made && span.shortened)
            made.note = spanShortenedMessage(input_, clipTimeText(span.clipMs), clipTimeText(span.taken->startMs),
                                             clipTimeText(span.taken->endMs));
        else if (made && span.changed)
            made.note = spanAdjustedMessage(input_, clipTimeText(span.taken->startMs), clipTimeText(span.taken->endMs));
        return made;
    }();
    outcome.input = input_;
    outcome.maxBytes = request_.limits.maxBytes;
    return outcome;
}

} // namespace cropling
