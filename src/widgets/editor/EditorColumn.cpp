#include "EditorColumn.h"

#include "core/CropGeometry.h"
#include "model/EmojiEditor.h"
#include "widgets/SymbolLabel.h"
#include "widgets/Theme.h"
#include "widgets/TintedLabel.h"
#include "widgets/editor/CropArea.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace cropling {

int EditorColumn::sliderSteps() { return int(std::lround((kMaxZoom - kMinZoom) * 1000.0)); }

int EditorColumn::sliderForZoom(double zoom) {
    if (!std::isfinite(zoom))
        return 0;
    return int(std::lround(std::clamp((zoom - kMinZoom) * 1000.0, 0.0, double(sliderSteps()))));
}

EditorColumn::EditorColumn(EmojiEditor* editor, QAction* choosePhoto, QAction* paste, QWidget* parent)
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

    zoomRow_ = new QWidget(this);
    zoomRow_->setFixedWidth(int(kCropSide));
    auto* zoomLayout = new QHBoxLayout(zoomRow_);
    zoomLayout->setContentsMargins(0, 0, 0, 0);
    slider_ = new QSlider(Qt::Horizontal, zoomRow_);
    slider_->setRange(0, sliderSteps());
    slider_->setSingleStep(50);
    slider_->setPageStep(500);
    slider_->setAccessibleName(tr("Zoom"));
    const QSize symbolSize(16, 16);
    zoomLayout->addWidget(new SymbolLabel(QStringLiteral(":/icons/zoom-out.svg"), symbolSize, theme::Emphasis::High,
                                          tr("Zoom out"), zoomRow_));
    zoomLayout->addWidget(slider_, 1);
    zoomLayout->addWidget(new SymbolLabel(QStringLiteral(":/icons/zoom-in.svg"), symbolSize, theme::Emphasis::High,
                                          tr("Zoom in"), zoomRow_));
    column->addWidget(zoomRow_);

    auto* hint = new TintedLabel(tr("Drag to reposition, slide to zoom"), theme::Emphasis::Medium, this);
    hint->setFont(theme::smallFont());
    hint_ = hint;
    column->addWidget(hint_);

    auto* buttons = new QHBoxLayout;
    choose_ = new QPushButton(this);
    auto* pasteButton = new QPushButton(paste->text(), this);
    reset_ = new QPushButton(tr("Reset Crop"), this);
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
    connect(slider_, &QSlider::valueChanged, editor_, [this](int value) { editor_->setZoom(zoomForSlider(value)); });
    connect(editor_, &EmojiEditor::imageChanged, this, &EditorColumn::showPictureControls);
    connect(editor_, &EmojiEditor::framingChanged, this, &EditorColumn::showZoom);
    showPictureControls();
    showZoom();
}

void EditorColumn::showPictureControls() {
    const bool hasPicture = bool(editor_->image());
    zoomRow_->setVisible(hasPicture);
    hint_->setVisible(hasPicture);
    reset_->setVisible(hasPicture);
    choose_->setText(hasPicture ? tr("Choose Another…") : choosePhoto_->text());
}

void EditorColumn::showZoom() {
    // A knob position maps back to exactly its own zoom, so the knob moves only when the zoom
    // changed elsewhere (reset, new picture) and dragging it never fights its own value.
    const int wanted = sliderForZoom(editor_->zoom());
    if (slider_->value() != wanted) {
        const QSignalBlocker quiet(slider_);
        slider_->setValue(wanted);
    }
}

} // namespace cropling
