#pragma once

// The export name and every message the status line or a scripted run reports.

#include <QString>

namespace cropling {

// The name as typed, or "emoji" when the field is empty; never trimmed or filtered.
QString exportName(const QString& emojiName);
QString exportFileName(const QString& emojiName);

// The exported size as people read it: "128×128".
QString emojiSizeText();
// "%.0f" of bytes / 1024: the nearest whole number, an exact half going to the even neighbour.
QString kilobytes(long long bytes);

QString savedMessage(const QString& fileName, long long bytes);
QString copiedMessage(const QString& emojiName);
QString saveFailedMessage(const QString& reason);
QString renderFailedMessage();
QString couldNotOpenMessage(const QString& fileName);
QString noImageOnClipboardMessage();
QString noPictureMessage();

} // namespace cropling
