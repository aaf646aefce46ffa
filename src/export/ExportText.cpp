#include "ExportText.h"

#include <cstdio>

namespace cropling {

QString exportName(const QString& emojiName) { return emojiName.isEmpty() ? QStringLiteral("emoji") : emojiName; }

QString exportFileName(const QString& emojiName) { return exportName(emojiName) + QStringLiteral(".png"); }

QString kilobytes(long long bytes) {
    // printf rounds exactly, ties to even, and "%.0f" has no decimal separator for a locale to change.
    char text[64];
    std::snprintf(text, sizeof text, "%.0f", double(bytes) / 1024.0);
    return QString::fromLatin1(text);
}

QString savedMessage(const QString& fileName, long long bytes) {
    return QStringLiteral("Saved %1 — 128×128, %2 KB").arg(fileName, kilobytes(bytes));
}

QString copiedMessage(const QString& emojiName) {
    return QStringLiteral("Copied ") + exportName(emojiName) + QStringLiteral(".png to clipboard — 128×128");
}

QString saveFailedMessage(const QString& reason) { return QStringLiteral("Save failed: ") + reason; }

} // namespace cropling
