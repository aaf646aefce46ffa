#include "SaveDialog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

namespace cropling {

namespace {

// The translation context of the dialog's title.
struct SaveDialogText {
    Q_DECLARE_TR_FUNCTIONS(SaveDialog)
};

} // namespace

QString defaultSaveFolder() {
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (downloads.isEmpty() || !QDir().mkpath(downloads))
        return {};
    return downloads;
}

std::optional<QByteArray> askSaveLocation(QWidget* parent, const QString& suggestedFileName) {
    // An animation is offered as a GIF, a still as a PNG: the suggested name says which.
    const bool gif = suggestedFileName.endsWith(QLatin1String(".gif"));
    QFileDialog dialog(parent, gif ? SaveDialogText::tr("Save Emoji GIF") : SaveDialogText::tr("Save Emoji PNG"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setMimeTypeFilters({gif ? QStringLiteral("image/gif") : QStringLiteral("image/png")});
    dialog.setDefaultSuffix(gif ? QStringLiteral("gif") : QStringLiteral("png"));
    // Downloads, until something is saved: then the folder saved to last, while the program runs
    // and that folder is there. Nothing is written to a settings file.
    static QString lastFolder;
    const QString folder = !lastFolder.isEmpty() && QFileInfo(lastFolder).isDir() ? lastFolder : defaultSaveFolder();
    if (!folder.isEmpty())
        dialog.setDirectory(folder);
    dialog.selectFile(suggestedFileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString chosen = dialog.selectedFiles().constFirst();
    lastFolder = QFileInfo(chosen).absolutePath();
    return QFile::encodeName(chosen);
}

} // namespace cropling
