#include "EditorColumn.h"

#include "core/CropGeometry.h"
#include "core/Animation.h"
#include "core/StatusText.h"
#include "model/EmojiEditor.h"
#include "model/FramePlayback.h"
#include "widgets/SymbolButton.h"
#include "widgets/Theme.h"
#include "widgets/TintedLabel.h"
#include "widgets/editor/ClipControls.h"
#include "widgets/editor/CropArea.h"
#include "widgets/editor/ZoomSlider.h"

#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace cropling {

EditorColumn::EditorColumn(EmojiEditor* editor, QAction* choosePhoto, QAction* paste,
                           const std::vector<std::vector<Tool>>& tools, QWidget* parent)
    : QWidget(parent), editor_(editor), choosePhoto_(choosePhoto) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    column->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* heading = new QLabel(tr("Crop"), this);
    heading->setFont(theme::titleFont());
    column->addWidget(heading);
    cropArea_ = new CropArea(editor_, this);
    column->addWidget(cropArea_);
    // A clip's timeline, right under the picture it plays.
    column->addWidget(new ClipControls(editor_, this));

    zoomRow_ = new QWidget(this);
    zoomRow_->setFixedWidth(int(kCropSide));
    auto* zoomLayout = new QHBoxLayout(zoomRow_);
    zoomLayout->setContentsMargins(0, 0, 0, 0);
    slider_ = new ZoomSlider(zoomRow_);
    slider_->setAccessibleName(tr("Zoom"));
    const QSize symbolSize(16, 16);
    auto* zoomOut = new SymbolButton(QStringLiteral(":/icons/zoom-out.svg"), symbolSize, tr("Zoom Out"), zoomRow_);
    auto* zoomIn = new SymbolButton(QStringLiteral(":/icons/zoom-in.svg"), symbolSize, tr("Zoom In"), zoomRow_);
    readout_ = new TintedLabel(QString(), theme::Emphasis::Medium, zoomRow_);
    readout_->setFont(theme::smallFont());
    // Wide enough for "5.0×" in the font it has, so the slider does not jump as the zoom changes.
    readout_->setMinimumWidth(readout_->fontMetrics().horizontalAdvance(ZoomSlider::zoomText(8.8)) + 2);
    readout_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // An animation plays in every view at once; the button pauses it where it is.
    play_ = new SymbolButton(QStringLiteral(":/icons/pause.svg"), symbolSize, tr("Pause"), zoomRow_);
    zoomLayout->addWidget(play_);
    zoomLayout->addWidget(zoomOut);
    zoomLayout->addWidget(slider_, 1);
    zoomLayout->addWidget(zoomIn);
    zoomLayout->addWidget(readout_);
    const QPointF centre(0, 0);
    connect(zoomOut, &QToolButton::clicked, editor_, [this, centre] { editor_->zoomAbout(editor_->zoom() / CropArea::kZoomStep, centre); });
    connect(zoomIn, &QToolButton::clicked, editor_, [this, centre] { editor_->zoomAbout(editor_->zoom() * CropArea::kZoomStep, centre); });
    column->addWidget(zoomRow_);
    // The tools as symbols in a row of their own: as buttons with text they widened the column,
    // and the window, once a picture was open, and more so in longer languages.
    toolRow_ = new ToolRow(tools, this);
    column->addWidget(toolRow_);

    auto* hint = new TintedLabel(tr("Drag to reposition, slide to zoom"), theme::Emphasis::Medium, this);
    hint->setFont(theme::smallFont());
    hint_ = hint;
    column->addWidget(hint_);

    // What an animation is, and the size its GIF must keep to.
    animationRow_ = new QWidget(this);
    animationRow_->setFixedWidth(int(kCropSide));
    // Its place is kept while it is hidden: a still and an animation give the window one height.
    QSizePolicy rowKeepsPlace = animationRow_->sizePolicy();
    rowKeepsPlace.setRetainSizeWhenHidden(true);
    animationRow_->setSizePolicy(rowKeepsPlace);
    auto* animationLayout = new QGridLayout(animationRow_);
    animationLayout->setContentsMargins(0, 0, 0, 0);
    animationInfo_ = new TintedLabel(QString(), theme::Emphasis::Medium, animationRow_);
    animationInfo_->setFont(theme::smallFont());
    maxKilobytes_ = new QSpinBox(animationRow_);
    maxKilobytes_->setRange(1, 10240);
    maxKilobytes_->setSuffix(tr(" KB"));
    maxKilobytes_->setValue(int(editor_->maxBytes() / 1024));
    maxKilobytes_->setAccessibleName(tr("Largest GIF size"));
    maxKilobytes_->setToolTip(tr("The animated GIF is made to fit this size"));
    auto* limitLabel = new TintedLabel(tr("Size limit"), theme::Emphasis::Medium, animationRow_);
    limitLabel->setFont(theme::smallFont());
    limitLabel->setBuddy(maxKilobytes_);
    auto* limit = new QHBoxLayout;
    limit->addWidget(limitLabel);
    limit->addWidget(maxKilobytes_);
    animationLayout->addWidget(animationInfo_, 0, 0);
    // The limit follows the frames on one line when both fit in the square's width with the
    // longest frame count and duration there are, and goes under them otherwise (a longer
    // language, a larger font), so neither is cut or lies over the other.
    const int oneLine = animationInfo_->fontMetrics().horizontalAdvance(animationText(8888, 888'800)) +
                        limit->sizeHint().width() + 2 * animationLayout->horizontalSpacing();
    if (oneLine <= int(kCropSide)) {
        animationLayout->setColumnStretch(0, 1);
        animationLayout->addLayout(limit, 0, 1, Qt::AlignRight);
    } else {
        animationLayout->addLayout(limit, 1, 0, Qt::AlignRight);
    }
    column->addWidget(animationRow_);
    connect(maxKilobytes_, &QSpinBox::valueChanged, editor_, [this](int kilobytes) { editor_->setMaxBytes(kilobytes * 1024LL); });
    connect(play_, &QToolButton::clicked, editor_->playback(), &FramePlayback::togglePlaying);
    connect(editor_->playback(), &FramePlayback::playingChanged, this, &EditorColumn::showPlaying);

    auto* buttons = new QHBoxLayout;
    choose_ = new QPushButton(this);
    auto* pasteButton = new QPushButton(paste->text(), this);
    reset_ = new QPushButton(tr("Reset Crop"), this);
    // The row is as wide with a picture as without, in any language: the chooser is as wide as
    // its longer text, and Reset keeps its place while hidden, so the window never changes width.
    QSizePolicy keepsPlace = reset_->sizePolicy();
    keepsPlace.setRetainSizeWhenHidden(true);
    reset_->setSizePolicy(keepsPlace);
    for (const QString& text : {choosePhoto->text(), tr("Choose Another…")}) {
        choose_->setText(text);
        choose_->setMinimumWidth(std::max(choose_->minimumWidth(), choose_->sizeHint().width()));
    }
    for (QPushButton* button : {choose_, pasteButton, reset_}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    column->addLayout(buttons);

    connect(choose_, &QPushButton::clicked, choosePhoto, &QAction::trigger);
    connect(cropArea_, &CropArea::chooseRequested, choosePhoto, &QAction::trigger);
    connect(pasteButton, &QPushButton::clicked, paste, &QAction::trigger);
    pasteButton->setToolTip(paste->shortcut().toString(QKeySequence::NativeText));
    connect(reset_, &QPushButton::clicked, editor_, &EmojiEditor::resetCrop);
    connect(slider_, &QSlider::valueChanged, editor_, [this](int value) { editor_->setZoom(slider_->zoomAt(value)); });
    // A held knob is one step of the history, however far it travels.
    connect(slider_, &QSlider::sliderPressed, editor_, &EmojiEditor::beginGesture);
    connect(slider_, &QSlider::sliderReleased, editor_, &EmojiEditor::endGesture);
    connect(editor_, &EmojiEditor::imageChanged, this, &EditorColumn::showPictureControls);
    connect(editor_, &EmojiEditor::framingChanged, this, &EditorColumn::showZoom);
    showPictureControls();
    showZoom();
}

void EditorColumn::showPictureControls() {
    const bool hasPicture = bool(editor_->image());
    zoomRow_->setVisible(hasPicture);
    const PicturePtr& picture = editor_->image();
    const bool animated = picture && picture->hasFrames();
    play_->setVisible(animated);
    animationRow_->setVisible(animated);
    if (animated)
        animationInfo_->setText(animationText(picture->frameCount(), animationDuration(picture->frameDelays())));
    showPlaying(editor_->playback()->isPlaying());
    hint_->setVisible(hasPicture);
    reset_->setVisible(hasPicture);
    toolRow_->setVisible(hasPicture);
    choose_->setText(hasPicture ? tr("Choose Another…") : choosePhoto_->text());
    // The knob's range starts at the picture's fit zoom when the whole picture is wider or taller
    // than the square.
    const QSignalBlocker quiet(slider_);
    slider_->setZoomRange(editor_->lowestZoom(), kMaxZoom);
    showZoom();
}

void EditorColumn::showPlaying(bool playing) {
    play_->setSymbol(playing ? QStringLiteral(":/icons/pause.svg") : QStringLiteral(":/icons/play.svg"),
                     playing ? tr("Pause") : tr("Play"));
}

void EditorColumn::showZoom() {
    // A knob position maps back to exactly its own zoom, so the knob moves only when the zoom
    // changed elsewhere (reset, new picture) and dragging it never fights its own value.
    const int wanted = slider_->valueFor(editor_->zoom());
    if (slider_->value() != wanted) {
        const QSignalBlocker quiet(slider_);
        slider_->setValue(wanted);
    }
    readout_->setText(ZoomSlider::zoomText(editor_->zoom()));
}

} // namespace cropling
