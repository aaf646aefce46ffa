#pragma once

#include <QByteArray>
#include <QString>

namespace cropling {

// The name a new emoji gets from its file's name: lower case a-z, 0-9, hyphen and underscore,
// no hyphen at either end, "my-emoji" when nothing is left. The argument is the file's last path
// component as raw bytes; bytes that are not valid UTF-8 count as disallowed characters.
QString deriveEmojiName(const QByteArray& fileName);

// The file name without its last extension ("photo.tar.gz" -> "photo.tar"). A leading dot marks a
// hidden file, not an extension.
QByteArray withoutLastExtension(const QByteArray& fileName);

inline const QString kDefaultEmojiName = QStringLiteral("my-emoji");

} // namespace cropling
