#include "SaveDialog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
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
    QFileDialog dialog(parent, SaveDialogText::tr("Save Emoji PNG"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setMimeTypeFilters({QStringLiteral("image/png")});
    dialog.setDefaultSuffix(QStringLiteral("png"));
    const QString folder = defaultSaveFolder();
    if (!folder.isEmpty())
        dialog.setDirectory(folder);
    dialog.selectFile(suggestedFileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QFile::encodeName(dialog.selectedFiles().constFirst());
}

} // namespace cropling
