#include "CroplingWindow.h"

#include "app/Automation.h"
#include "app/ContentView.h"
#include "app/WindowActions.h"
#include "app/WindowContent.h"
#include "export/ClipboardKeeper.h"
#include "export/SaveDialog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLayout>
#include <QMenuBar>

#include <cstdio>

namespace cropling {

CroplingWindow::CroplingWindow(QWidget* parent) : QMainWindow(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Cropling"));
    editor_ = new ContentView(this);
    actions_ = new WindowActions(editor_, this);
    actions_->populate(menuBar());
    editor_->setSaveDialog([this](const QString& name) { return askSaveLocation(this, name); });

    auto* content = new WindowContent(editor_, actions_, this);
    setCentralWidget(content);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    connect(actions_->newWindow, &QAction::triggered, this, &CroplingWindow::newWindowRequested);
    connect(actions_->quit, &QAction::triggered, qApp, &QApplication::closeAllWindows);
    connect(content, &WindowContent::firstShown, this, &CroplingWindow::runAutomation);
}

void CroplingWindow::runAutomation() {
    AutomationOutcome outcome = cropling::runAutomation(*editor_, AutomationEnvironment::fromProcess());
    if (!outcome.batch)
        return;
    if (outcome.copied) {
        if (const QMimeData* data = QGuiApplication::clipboard()->mimeData()) {
            if (const auto error = handOverClipboard(*data))
                outcome.failure = *error;
        }
    }
    if (outcome.failure)
        std::fprintf(stderr, "cropling: %s\n", outcome.failure->toLocal8Bit().constData());
    QCoreApplication::exit(outcome.exitCode());
}

} // namespace cropling
