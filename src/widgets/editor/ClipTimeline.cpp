#include "ClipTimeline.h"

#include "core/ClipSpan.h"
#include "core/CropGeometry.h"
#include "model/EmojiEditor.h"
#include "model/FramePlayback.h"
#include "widgets/Theme.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace cropling {

namespace {

constexpr int kHeight = 40;
constexpr int kHandle = 8;      // the width of a handle
constexpr double kGripReach = 10; // how near a handle a press takes it

} // namespace

ClipTimeline::ClipTimeline(EmojiEditor* editor, QWidget* parent) : QWidget(parent), editor_(editor) {
    setFixedSize(int(kCropSide), kHeight);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAccessibleName(tr("Clip span"));
    setToolTip(tr("Drag the handles to choose the part of the clip, or drag the part to move it.\n"
                  "Arrow keys move it (Shift: by a second); Ctrl with the arrows moves its end."));
    connect(editor_, &EmojiEditor::clipChanged, this, [this] {
        // A clip that goes away mid-drag (a new picture, an undo) ends the drag.
        if (!editor_->hasClip())
            endDrag();
        describe();
        update();
    });
    // The playhead follows the frame the square shows.
    connect(editor_, &EmojiEditor::frameChanged, this, [this] {
        if (editor_->hasClip())
            update();
    });
    describe();
}

QSize ClipTimeline::sizeHint() const { return {int(kCropSide), kHeight}; }

double ClipTimeline::xOf(qint64 ms) const {
    const qint64 length = std::max<qint64>(1, editor_->clip().source ? editor_->clip().source->durationMs() : 1);
    return kHandle + double(width() - 2 * kHandle) * double(std::clamp<qint64>(ms, 0, length)) / double(length);
}

qint64 ClipTimeline::msAt(double x) const {
    const qint64 length = editor_->clip().source ? editor_->clip().source->durationMs() : 0;
    const double fraction = (x - kHandle) / double(std::max(1, width() - 2 * kHandle));
    return qint64(std::llround(std::clamp(fraction, 0.0, 1.0) * double(length)));
}

ClipTimeline::Grip ClipTimeline::gripAt(double x) const {
    const ClipSpan& span = editor_->clip().span;
    const double start = xOf(span.startMs) - kHandle / 2.0, end = xOf(span.endMs) + kHandle / 2.0;
    if (std::abs(x - start) <= kGripReach && std::abs(x - start) <= std::abs(x - end))
        return Grip::Start;
    if (std::abs(x - end) <= kGripReach)
        return Grip::End;
    return x > start && x < end ? Grip::Whole : Grip::None;
}

void ClipTimeline::describe() {
    const ClipSpan& span = editor_->clip().span;
    setAccessibleDescription(tr("From %1 to %2 of %3")
                                 .arg(clipTimeText(span.startMs), clipTimeText(span.endMs),
                                      clipTimeText(editor_->clip().source ? editor_->clip().source->durationMs() : 0)));
}

void ClipTimeline::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF strip(kHandle, 2, width() - 2 * kHandle, height() - 4);
    QPainterPath rounded;
    rounded.addRoundedRect(strip, 4, 4);
    painter.fillPath(rounded, theme::separatorColor());
    // The thumbnails side by side, each filling its share of the strip, cut to it.
    if (const PicturePtr& thumbnails = editor_->clipThumbnails()) {
        painter.save();
        painter.setClipPath(rounded);
        const int count = thumbnails->frameCount();
        const double share = strip.width() / count;
        for (int i = 0; i < count; ++i) {
            const QImage& image = thumbnails->frame(i).displayLevel(devicePixelRatioF());
            if (image.isNull())
                continue;
            const QRectF cell(strip.left() + share * i, strip.top(), share, strip.height());
            // The middle of the thumbnail, as wide as the cell's shape.
            const double scale = std::max(cell.width() / image.width(), cell.height() / image.height());
            const QSizeF shown(cell.width() / scale, cell.height() / scale);
            painter.drawImage(cell, image, QRectF(QPointF((image.width() - shown.width()) / 2, (image.height() - shown.height()) / 2), shown));
        }
        painter.restore();
    }
    // Outside the span dimmed; the span framed in the accent colour with a handle at each end.
    const ClipSpan& span = editor_->clip().span;
    const double start = xOf(span.startMs), end = xOf(span.endMs);
    const QColor dim(0, 0, 0, 140);
    painter.save();
    painter.setClipPath(rounded);
    painter.fillRect(QRectF(strip.left(), strip.top(), start - strip.left(), strip.height()), dim);
    painter.fillRect(QRectF(end, strip.top(), strip.right() - end, strip.height()), dim);
    painter.restore();
    const QColor accent = palette().color(QPalette::Highlight);
    painter.setPen(QPen(accent, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(start, 1, end - start, height() - 2));
    painter.setPen(Qt::NoPen);
    painter.setBrush(accent);
    painter.drawRoundedRect(QRectF(start - kHandle, 0, kHandle, height()), 2, 2);
    painter.drawRoundedRect(QRectF(end, 0, kHandle, height()), 2, 2);
    painter.setBrush(palette().color(QPalette::HighlightedText));
    for (const double x : {start - kHandle / 2.0, end + kHandle / 2.0})
        painter.drawRect(QRectF(x - 0.75, height() / 2.0 - 6, 1.5, 12));
    // The playhead: where in the span the frame on show lies (the span's frames are evenly spaced).
    const PicturePtr& shown = editor_->image();
    if (shown && shown->frameCount() > 1 && !editor_->isDecodingSpan()) {
        const double at = double(editor_->playback()->currentFrame()) / shown->frameCount();
        const double x = xOf(span.startMs + qint64(at * double(span.endMs - span.startMs)));
        painter.setPen(QPen(QColor(0, 0, 0, 160), 3.5));
        painter.drawLine(QPointF(x, strip.top() + 1), QPointF(x, strip.bottom() - 1));
        painter.setPen(QPen(Qt::white, 1.5));
        painter.drawLine(QPointF(x, strip.top() + 1), QPointF(x, strip.bottom() - 1));
    }
    if (hasFocus()) {
        painter.setPen(QPen(accent, 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(start + 3, 4, end - start - 6, height() - 8));
    }
}

void ClipTimeline::mousePressEvent(QMouseEvent* event) {
    if (!editor_->hasClip() || event->button() != Qt::LeftButton)
        return;
    const double x = event->position().x();
    dragging_ = gripAt(x);
    const ClipSpan span = editor_->clip().span;
    if (dragging_ == Grip::None) {
        // A click beside the span brings its nearer end there.
        dragging_ = x < xOf(span.startMs) ? Grip::Start : Grip::End;
    }
    grabbedMs_ = msAt(x);
    grabbedStart_ = span.startMs;
    grabbedEnd_ = span.endMs;
    editor_->beginGesture();
    if (dragging_ != Grip::Whole)
        mouseMoveEvent(event);
}

void ClipTimeline::mouseMoveEvent(QMouseEvent* event) {
    const double x = event->position().x();
    if (!editor_->hasClip())
        return endDrag();
    if (dragging_ == Grip::None) {
        const Grip over = editor_->hasClip() ? gripAt(x) : Grip::None;
        setCursor(over == Grip::Start || over == Grip::End ? Qt::SizeHorCursor
                  : over == Grip::Whole                    ? Qt::OpenHandCursor
                                                           : Qt::ArrowCursor);
        return;
    }
    ClipSpan span = editor_->clip().span;
    const qint64 at = msAt(x);
    switch (dragging_) {
    case Grip::Start: span.startMs = std::min(at, span.endMs - kMinSpanMs); break;
    case Grip::End: span.endMs = std::max(at, span.startMs + kMinSpanMs); break;
    case Grip::Whole: {
        const qint64 length = grabbedEnd_ - grabbedStart_;
        const qint64 duration = editor_->clip().source->durationMs();
        span.startMs = std::clamp<qint64>(grabbedStart_ + at - grabbedMs_, 0, std::max<qint64>(0, duration - length));
        span.endMs = span.startMs + length;
        break;
    }
    case Grip::None: break;
    }
    editor_->setSpan(span);
}

void ClipTimeline::mouseReleaseEvent(QMouseEvent*) { endDrag(); }

void ClipTimeline::hideEvent(QHideEvent* event) {
    endDrag();
    QWidget::hideEvent(event);
}

void ClipTimeline::endDrag() {
    if (dragging_ == Grip::None)
        return;
    dragging_ = Grip::None;
    editor_->endGesture();
}

void ClipTimeline::keyPressEvent(QKeyEvent* event) {
    if (!editor_->hasClip() || (event->key() != Qt::Key_Left && event->key() != Qt::Key_Right))
        return QWidget::keyPressEvent(event);
    const qint64 step = (event->modifiers() & Qt::ShiftModifier ? 1000 : 100) * (event->key() == Qt::Key_Left ? -1 : 1);
    ClipSpan span = editor_->clip().span;
    if (event->modifiers() & Qt::ControlModifier) {
        span.endMs = std::max(span.endMs + step, span.startMs + kMinSpanMs);
    } else {
        const qint64 length = span.lengthMs();
        const qint64 duration = editor_->clip().source->durationMs();
        span.startMs = std::clamp<qint64>(span.startMs + step, 0, std::max<qint64>(0, duration - length));
        span.endMs = span.startMs + length;
    }
    editor_->setSpan(span);
}

} // namespace cropling
