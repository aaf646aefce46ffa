#include "SaveDialog.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QStandardPaths>

namespace cropling {

QString defaultSaveFolder() {
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (downloads.isEmpty() || !QDir().mkpath(downloads))
        return {};
    return downloads;
}

std::optional<QByteArray> askSaveLocation(QWidget* parent, const QString& suggestedFileName) {
    QFileDialog dialog(parent, QStringLiteral("Save Emoji PNG"));
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
