#include "WindowContent.h"

#include "app/ContentView.h"
#include "editor/EditorColumn.h"
#include "preview/PreviewColumn.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QTimer>

namespace cropling {

QStringList WindowContent::imageMimeTypes() {
    return {QStringLiteral("image/png"),  QStringLiteral("image/jpeg"), QStringLiteral("image/webp"),
            QStringLiteral("image/gif"),  QStringLiteral("image/tiff"), QStringLiteral("image/heif"),
            QStringLiteral("image/heic"), QStringLiteral("image/avif"), QStringLiteral("image/jxl"),
            QStringLiteral("image/svg+xml"), QStringLiteral("image/bmp"), QStringLiteral("image/jp2"),
            QStringLiteral("image/x-portable-anymap"), QStringLiteral("image/x-icon")};
}

WindowContent::WindowContent(ContentView* editor, const WindowActions* actions, QWidget* parent)
    : QWidget(parent), editor_(editor) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(24, 24, 24, 24);
    row->setSpacing(24);
    row->addWidget(new EditorColumn(editor_, actions, this), 0, Qt::AlignTop);
    row->addWidget(new PreviewColumn(editor_, actions, this), 0, Qt::AlignTop);
    connect(editor_, &ContentView::changed, this, &WindowContent::syncFromEditor);
}

void WindowContent::syncFromEditor() {
    if (!editor_->showingImporter() || chooser_)
        return;
    // Window-modal and asynchronous: the editor keeps its state until a file is chosen.
    chooser_ = new QFileDialog(window(), tr("Choose Photo"));
    chooser_->setAttribute(Qt::WA_DeleteOnClose);
    chooser_->setFileMode(QFileDialog::ExistingFile);
    chooser_->setAcceptMode(QFileDialog::AcceptOpen);
    QStringList filters = imageMimeTypes();
    chooser_->setMimeTypeFilters(filters);
    QStringList names = chooser_->nameFilters();
    // The combined entry first, so every picture type is visible at once.
    QStringList patterns;
    for (const QString& name : names) {
        const qsizetype open = name.indexOf(u'('), close = name.lastIndexOf(u')');
        if (open >= 0 && close > open)
            patterns << name.mid(open + 1, close - open - 1);
    }
    names.prepend(tr("Pictures (%1)").arg(patterns.join(u' ')));
    chooser_->setNameFilters(names);
    chooser_->selectNameFilter(names.first());
    connect(chooser_, &QFileDialog::finished, this, [this](int result) {
        const QList<QUrl> chosen = chooser_->selectedUrls();
        chooser_ = nullptr;
        editor_->setShowingImporter(false);
        if (result == QDialog::Accepted && !chosen.isEmpty())
            editor_->load(chosen.constFirst());
    });
    chooser_->setWindowModality(Qt::WindowModal);
    chooser_->open();
}

void WindowContent::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    // Queued, so the hook runs inside the event loop even when the window is shown before it starts.
    QTimer::singleShot(0, this, &WindowContent::firstShown);
}

} // namespace cropling
