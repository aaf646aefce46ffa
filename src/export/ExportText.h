#pragma once

// The export name and the status texts of saving and copying.

#include <QString>

namespace cropling {

inline constexpr int kEmojiSide = 128;

// The name as typed, or "emoji" when the field is empty; never trimmed or filtered.
QString exportName(const QString& emojiName);
QString exportFileName(const QString& emojiName);

// "%.0f" of bytes / 1024: the nearest whole number, an exact half going to the even neighbour.
QString kilobytes(long long bytes);
QString savedMessage(const QString& fileName, long long bytes);
QString copiedMessage(const QString& emojiName);
QString saveFailedMessage(const QString& reason);
inline const QString kRenderFailedMessage = QStringLiteral("Couldn't render the emoji.");

} // namespace cropling
