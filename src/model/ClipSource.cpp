#include "ClipSource.h"

namespace cropling {

Outcome<PicturePtr> ClipSource::frames(const ClipSpan& span, int turn, int side) const {
    auto session = std::make_shared<DecoderSession>();
    if (!session->start(input_.again()))
        return {std::nullopt, OpenFailure::Damaged};
    session->setSpan(span, frameMs_);
    auto picture = session->frames(side, turn);
    if (picture)
        (*picture.value)->prepareDisplay();
    return picture;
}

Outcome<PicturePtr> ClipSource::thumbnails(int count, int side, int turn) const {
    auto session = std::make_shared<DecoderSession>();
    if (!session->start(input_.again()))
        return {std::nullopt, OpenFailure::Damaged};
    // The clip's length comes with the first reply; the thumbnails are spread over it.
    if (!session->openForRender())
        return {std::nullopt, OpenFailure::Damaged};
    auto picture = session->thumbnails(count, side, turn);
    if (picture)
        (*picture.value)->prepareDisplay();
    return picture;
}

} // namespace cropling
