#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

class QWidget;

namespace cropling {

// The user's Downloads folder (XDG user dirs), made if it is missing; empty when there is none.
QString defaultSaveFolder();

// Asks where to save, limited to PNG, opened in the folder saved to last (Downloads the first time)
// with the name pre-filled.
// Nothing when the user cancels. The path comes back as file-system bytes.
std::optional<QByteArray> askSaveLocation(QWidget* parent, const QString& suggestedFileName);

} // namespace cropling
