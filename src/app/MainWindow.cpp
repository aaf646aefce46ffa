#include "MainWindow.h"

#include "app/ClipboardKeeper.h"
#include "app/RecentPictures.h"
#include "app/SaveDialog.h"
#include "app/ShortcutsHelp.h"
#include "app/WindowActions.h"
#include "core/StatusText.h"
#include "image/Formats.h"
#include "image/HelperConfinement.h"
#include "model/EmojiEditor.h"
#include "model/ScriptedRun.h"
#include "widgets/editor/CropArea.h"
#include "widgets/editor/EditorColumn.h"
#include "widgets/preview/PreviewColumn.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

#include <utility>

namespace cropling {

namespace {

// Where the file chooser opens next: shared by the windows of this run, never stored.
QString lastOpenedFolder;

// How pictures are read, once a helper has shown it: the one thing a user may need to know is
// where the system gives the decoders less than their full confinement.
QString confinementText() {
    const auto seen = HelperConfinement::seen();
    if (!seen)
        return {};
    if (!seen->ownNamespaces)
        return MainWindow::tr("<p>This system refuses unprivileged namespaces: pictures are decoded in helpers "
                              "confined by their system call filter alone.</p>");
    return MainWindow::tr("<p>Pictures are decoded in confined helpers, with no network, no files and no "
                          "other processes.</p>");
}

} // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Cropling"));
    editor_ = new EmojiEditor(this);
    editor_->setBackgroundWork(true);
    // The highest pixel ratio among the screens, so the picture stays sharp on any of them.
    double ratio = 1.0;
    for (const QScreen* screen : QGuiApplication::screens())
        ratio = std::max(ratio, screen->devicePixelRatio());
    editor_->decodeForScreen(ratio);
    actions_ = new WindowActions(editor_, this);
    actions_->populate(menuBar());
    editor_->setSaveDialog([this](const QString& name) { return askSaveLocation(this, name); });

    auto* content = new QWidget;
    auto* row = new QHBoxLayout(content);
    row->setContentsMargins(24, 24, 24, 24);
    row->setSpacing(24);
    auto* editorColumn = new EditorColumn(editor_, actions_->choosePhoto, actions_->paste, actions_->tools(), content);
    row->addWidget(editorColumn, 0, Qt::AlignTop);
    // The brush on, off or changed by its actions (the tool row, the menu, the keys).
    CropArea* cropArea = editorColumn->cropArea();
    const auto takeBrush = [this, cropArea] {
        cropArea->setBrushMode(actions_->markKeep->isChecked()     ? CutoutBrush::Mode::Keep
                               : actions_->markRemove->isChecked() ? CutoutBrush::Mode::Remove
                                                                   : CutoutBrush::Mode::Off);
    };
    connect(actions_->markKeep, &QAction::toggled, cropArea, takeBrush);
    connect(actions_->markRemove, &QAction::toggled, cropArea, takeBrush);
    row->addWidget(new PreviewColumn(editor_, actions_->save, actions_->saveTexts(), actions_->copy, content), 0, Qt::AlignTop);
    // The content keeps the size its layout asks for; the window takes that size, unless the screen
    // is smaller (a large scale factor on a small screen), when the content scrolls instead.
    row->setSizeConstraint(QLayout::SetFixedSize);
    content_ = content;
    auto* scroller = new QScrollArea(this);
    // The scroll area only scrolls: Tab goes from control to control, never to it.
    scroller->setFocusPolicy(Qt::NoFocus);
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidget(content);
    setCentralWidget(scroller);
    content->installEventFilter(this);
    fitToContent();

    connect(actions_->choosePhoto, &QAction::triggered, this, &MainWindow::choosePhoto);
    connect(actions_->shortcuts, &QAction::triggered, this, [this] {
        QMessageBox::information(this, tr("Keyboard Shortcuts"), shortcutsHelpText(*actions_));
    });
    connect(actions_->about, &QAction::triggered, this, [this] {
        QMessageBox::about(this, tr("About Cropling"),
                           tr("<p><b>Cropling %1</b></p><p>Turns a photo into a %2 PNG for a chat service's custom "
                              "emoji.</p><p>Free software under the MIT licence.<br>"
                              "<a href=\"https://cropling.org\">cropling.org</a></p>")
                               .arg(QCoreApplication::applicationVersion(), emojiSizeText()) +
                               confinementText());
    });
    // The title names the picture, so windows can be told apart.
    connect(editor_, &EmojiEditor::newPicture, this, [this] {
        const QString file = editor_->fileName();
        setWindowTitle(file.isEmpty() ? QStringLiteral("Cropling") : tr("%1 — Cropling").arg(file));
        // A picture opened from a file joins the desktop's recently used files, on a worker: the
        // shared list may be large, and other programs' files are read and written with it.
        const QUrl url = editor_->pictureUrl();
        if (url.isLocalFile())
            (void)QtConcurrent::run([url] {
                RecentPictures().add(url, QMimeDatabase().mimeTypeForFile(url.toLocalFile()).name());
            });
    });
    connect(actions_->newWindow, &QAction::triggered, this, &MainWindow::newWindowRequested);
    connect(actions_->quit, &QAction::triggered, qApp, &QApplication::closeAllWindows);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == content_ && event->type() == QEvent::Resize)
        fitToContent();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::fitToContent() {
    QSize wanted = content_->size();
    wanted.rheight() += menuBar()->sizeHint().height();
    if (const QScreen* shown = screen()) {
        // The frame the window manager adds is not known before the window is shown; a margin
        // keeps the whole window on the screen.
        const QSize room = shown->availableGeometry().size() - QSize(8, 40);
        if (!room.isEmpty() && (wanted.width() > room.width() || wanted.height() > room.height())) {
            const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
            wanted = (wanted + QSize(bar, bar)).boundedTo(room);
        }
    }
    setFixedSize(wanted);
}

void MainWindow::choosePhoto() {
    if (chooser_)
        return;
    chooser_ = new QFileDialog(this, tr("Choose Photo"));
    chooser_->setAttribute(Qt::WA_DeleteOnClose);
    chooser_->setFileMode(QFileDialog::ExistingFile);
    chooser_->setAcceptMode(QFileDialog::AcceptOpen);
    chooser_->setMimeTypeFilters(openableMimeTypes() + openableClipTypes());
    // The folder a picture was last chosen from, while the program runs.
    if (!lastOpenedFolder.isEmpty() && QFileInfo(lastOpenedFolder).isDir())
        chooser_->setDirectory(lastOpenedFolder);
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
        chooser_.clear();
        if (result == QDialog::Accepted && !chosen.isEmpty()) {
            lastOpenedFolder = QFileInfo(chosen.constFirst().toLocalFile()).absolutePath();
            editor_->load(chosen.constFirst());
        }
    });
    chooser_->setWindowModality(Qt::WindowModal);
    chooser_->open();
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    // Queued, so the run starts inside the event loop even when the window is shown before it starts.
    QTimer::singleShot(0, this, &MainWindow::runScripted);
}

void MainWindow::runScripted() {
    // The environment describes one run, for the program's first window; a window opened later
    // starts empty.
    static bool claimed = false;
    if (std::exchange(claimed, true))
        return;
    ScriptedRunOutcome outcome = cropling::runScripted(*editor_, ScriptedRunEnvironment::fromProcess());
    if (!outcome.batch)
        return;
    if (outcome.copied) {
        if (const QMimeData* copied = QGuiApplication::clipboard()->mimeData()) {
            if (const auto error = handOverClipboard(*copied))
                outcome.failure = *error;
        }
    }
    reportFailure(outcome);
    QCoreApplication::exit(outcome.exitCode());
}

} // namespace cropling
