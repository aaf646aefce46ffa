#include "ClipControls.h"

#include "core/ClipSpan.h"
#include "core/CropGeometry.h"
#include "model/EmojiEditor.h"
#include "widgets/Theme.h"
#include "widgets/TintedLabel.h"
#include "widgets/editor/ClipTimeline.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLocale>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <cmath>

namespace cropling {

namespace {

constexpr double kSpeeds[] = {0.5, 0.75, 1.0, 1.5, 2.0};

} // namespace

ClipControls::ClipControls(EmojiEditor* editor, QWidget* parent) : QWidget(parent), editor_(editor) {
    setFixedWidth(int(kCropSide));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    timeline_ = new ClipTimeline(editor_, this);
    column->addWidget(timeline_);
    auto* row = new QHBoxLayout;
    spanText_ = new TintedLabel(QString(), theme::Emphasis::Medium, this);
    spanText_->setFont(theme::smallFont());
    speed_ = new QComboBox(this);
    for (const double speed : kSpeeds)
        speed_->addItem(QLocale().toString(speed) + u'×', speed);
    speed_->setAccessibleName(tr("Speed"));
    speed_->setToolTip(tr("How fast the emoji plays the part of the clip"));
    auto* speedLabel = new TintedLabel(tr("Speed"), theme::Emphasis::Medium, this);
    speedLabel->setFont(theme::smallFont());
    speedLabel->setBuddy(speed_);
    row->addWidget(spanText_);
    row->addStretch(1);
    row->addWidget(speedLabel);
    row->addWidget(speed_);
    column->addLayout(row);
    connect(speed_, &QComboBox::activated, editor_, [this](int index) {
        ClipSpan span = editor_->clip().span;
        span.speed = speed_->itemData(index).toDouble();
        editor_->setSpan(span);
    });
    connect(editor_, &EmojiEditor::clipChanged, this, &ClipControls::showClip);
    showClip();
}

void ClipControls::showClip() {
    setVisible(editor_->hasClip());
    if (!editor_->hasClip())
        return spanText_->clear();
    const ClipSpan& span = editor_->clip().span;
    const bool known = editor_->hasClip() && editor_->clip().source->durationMs() > 0;
    timeline_->setVisible(known);
    // "0:01.0 – 0:04.0 · 3.0 s"; while the span's frames are decoded, it says so.
    const QString length = tr("%1 s").arg(QLocale().toString(double(span.playedMs()) / 1000.0, 'f', 1));
    spanText_->setText(editor_->isDecodingSpan() ? tr("%1 – %2 · decoding…").arg(clipTimeText(span.startMs), clipTimeText(span.endMs))
                                                 : tr("%1 – %2 · %3").arg(clipTimeText(span.startMs), clipTimeText(span.endMs), length));
    const QSignalBlocker quiet(speed_);
    int nearest = 0;
    for (int i = 0; i < speed_->count(); ++i) {
        if (std::abs(speed_->itemData(i).toDouble() - span.speed) < std::abs(speed_->itemData(nearest).toDouble() - span.speed))
            nearest = i;
    }
    speed_->setCurrentIndex(nearest);
}

} // namespace cropling
