#include "DirectService.h"

#include "core/Orientation.h"
#include "helpers/direct/ColourProfile.h"
#include "helpers/direct/DirectRender.h"
#include "helpers/direct/SourceDecoder.h"

#include <algorithm>

namespace cropling::direct {

using wire::ReplyHead;
using wire::Status;
using wire::Task;
using wire::withStatus;

DirectService::DirectService(QByteArray encoded) : encoded_(std::move(encoded)) {}

DirectService::~DirectService() = default;

ReplyHead DirectService::serve(const wire::Request& request, QByteArray* payload) {
    payload->clear();
    if (!opened_) {
        opened_ = true;
        Refusal why;
        decoder_ = openSource(encoded_, &why);
        failure_ = why.failure;
        if (decoder_ && !decoder_->facts().iccProfile.isEmpty()) {
            const ProfileUse use = profileUse(decoder_->facts().iccProfile);
            convertProfile_ = use == ProfileUse::Convert;
            if (use == ProfileUse::Decline)
                decoder_.reset();
        }
    }
    if (!decoder_)
        return withStatus(failure_ ? wire::statusOf(*failure_) : Status::Declined);
    if (request.task != Task::Header && request.task != Task::Render && request.task != Task::Preview)
        return withStatus(Status::Declined);

    ReplyHead head;
    const int orientation = composedOrientation(decoder_->facts().orientation, request.turn);
    const QSize upright = uprightSize(decoder_->facts().stored, orientation);
    head.fullWidth = upright.width();
    head.fullHeight = upright.height();
    if (request.task == Task::Header)
        return head;
    if (request.task == Task::Preview)
        return preview(request.side, orientation, head, payload);
    std::optional<OpenFailure> failure;
    const auto png = renderSquarePng(*decoder_, convertProfile_, orientation, request.zoom, QPointF(request.offsetX, request.offsetY),
                                     request.side, &failure);
    if (!png)
        return failure ? withStatus(wire::statusOf(*failure)) : withStatus(Status::Nothing);
    head.width = head.height = request.side;
    head.payloadBytes = std::uint64_t(png->size());
    *payload = *png;
    return head;
}

ReplyHead DirectService::preview(int side, int orientation, ReplyHead head, QByteArray* payload) {
    // The whole picture, reduced as far as its decoder can while decoding (a JPEG from its DCT at
    // an eighth), upright and in sRGB: a first look for the window while the libvips helper makes
    // the working picture.
    // A reduction of less than a quarter saves too little over the working picture to be worth a
    // decode of its own.
    const QSize stored = decoder_->facts().stored;
    if (side < 1 || !decoder_->facts().reducesWhileDecoding || std::min(stored.width(), stored.height()) < 4 * side)
        return withStatus(Status::Declined);
    Refusal why;
    auto part = decoder_->decodePart(QRect(QPoint(0, 0), decoder_->facts().stored), side, &why);
    if (!part)
        return withStatus(wire::statusOf(why.failure.value_or(OpenFailure::Damaged)));
    if (convertProfile_)
        convertToSrgb(decoder_->facts().iccProfile, &part->pixels);
    const PixelRows upright = turnedUpright(part->pixels, orientation);
    if ((long long)upright.width * upright.height > wire::kMaxReplyPixels)
        return withStatus(Status::TooLarge);
    head.width = upright.width;
    head.height = upright.height;
    head.bands = upright.bands;
    head.payloadBytes = std::uint64_t(upright.bytes.size());
    *payload = QByteArray(reinterpret_cast<const char*>(upright.bytes.data()), qsizetype(upright.bytes.size()));
    return head;
}

wire::ReplyHead DirectService::serve(const wire::Request& request, std::string_view* payload) {
    const wire::ReplyHead head = serve(request, &payload_);
    *payload = std::string_view(payload_.constData(), size_t(payload_.size()));
    return head;
}

} // namespace cropling::direct
