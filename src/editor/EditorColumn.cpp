#include "EditorColumn.h"

#include "app/ContentView.h"
#include "app/Style.h"
#include "app/WindowActions.h"
#include "editor/CropArea.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace cropling {

namespace {

QLabel* magnifier(const QString& resource, const QString& name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(style::symbol(resource, QSize(16, 16), style::level(style::Level::Primary), parent->devicePixelRatioF()));
    label->setAccessibleName(name);
    return label;
}

} // namespace

int EditorColumn::sliderForZoom(double zoom) {
    if (!std::isfinite(zoom))
        return 0;
    return int(std::lround(std::clamp((zoom - 1.0) * 1000.0, 0.0, double(kSliderSteps))));
}

EditorColumn::EditorColumn(ContentView* editor, const WindowActions* actions, QWidget* parent)
    : QWidget(parent), editor_(editor) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    column->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* heading = new QLabel(QStringLiteral("Crop"), this);
    heading->setFont(style::headline());
    column->addWidget(heading);
    column->addWidget(new CropArea(editor_, this));

    zoomRow_ = new QWidget(this);
    zoomRow_->setFixedWidth(int(ContentView::cropSide));
    auto* zoomLayout = new QHBoxLayout(zoomRow_);
    zoomLayout->setContentsMargins(0, 0, 0, 0);
    slider_ = new QSlider(Qt::Horizontal, zoomRow_);
    slider_->setRange(0, kSliderSteps);
    slider_->setSingleStep(50);
    slider_->setPageStep(500);
    slider_->setAccessibleName(tr("Zoom"));
    zoomLayout->addWidget(magnifier(QStringLiteral(":/icons/zoom-out.svg"), tr("Zoom out"), zoomRow_));
    zoomLayout->addWidget(slider_, 1);
    zoomLayout->addWidget(magnifier(QStringLiteral(":/icons/zoom-in.svg"), tr("Zoom in"), zoomRow_));
    column->addWidget(zoomRow_);

    auto* hint = new style::TintedLabel(QStringLiteral("Drag to reposition, slide to zoom"), style::Level::Secondary, this);
    hint->setFont(style::caption());
    hint_ = hint;
    column->addWidget(hint_);

    auto* buttons = new QHBoxLayout;
    choose_ = new QPushButton(this);
    auto* paste = new QPushButton(QStringLiteral("Paste Photo"), this);
    reset_ = new QPushButton(QStringLiteral("Reset Crop"), this);
    for (QPushButton* button : {choose_, paste, reset_}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    column->addLayout(buttons);

    connect(choose_, &QPushButton::clicked, actions->choosePhoto, &QAction::trigger);
    connect(paste, &QPushButton::clicked, actions->paste, &QAction::trigger);
    paste->setToolTip(actions->paste->shortcut().toString(QKeySequence::NativeText));
    connect(reset_, &QPushButton::clicked, editor_, &ContentView::resetCrop);
    connect(slider_, &QSlider::valueChanged, editor_, [this](int value) { editor_->changeZoom(zoomForSlider(value)); });
    connect(editor_, &ContentView::changed, this, &EditorColumn::syncFromEditor);
    syncFromEditor();
}

void EditorColumn::syncFromEditor() {
    const bool hasPicture = bool(editor_->image());
    zoomRow_->setVisible(hasPicture);
    hint_->setVisible(hasPicture);
    reset_->setVisible(hasPicture);
    choose_->setText(hasPicture ? QStringLiteral("Choose Another…") : QStringLiteral("Choose Photo…"));
    // A knob position maps back to exactly its own zoom, so the knob moves only when the zoom
    // changed elsewhere (reset, new picture) and dragging it never fights its own value.
    const int wanted = sliderForZoom(editor_->zoom());
    if (slider_->value() != wanted) {
        const QSignalBlocker quiet(slider_);
        slider_->setValue(wanted);
    }
}

} // namespace cropling
