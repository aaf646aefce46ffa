#pragma once

#include <QByteArray>
#include <QString>

namespace cropling {

// The name a new emoji gets from its file's name: lower case a-z, 0-9, hyphen and underscore,
// no hyphen at either end, "my-emoji" when nothing is left. The argument is the file's last path
// component as raw bytes; bytes that are not valid UTF-8 count as disallowed characters.
QString deriveEmojiName(const QByteArray& fileName);

// A name as the user types it, held to the same rule as it goes: lower case, each run of other
// characters one hyphen, no hyphen at the start. A hyphen at the end stays, since the next key may
// continue the name; an empty name stays empty (the export then says "emoji").
QString typedEmojiName(const QString& typed);

// The file name without its last extension ("photo.tar.gz" -> "photo.tar"). A leading dot marks a
// hidden file, not an extension.
QByteArray withoutLastExtension(const QByteArray& fileName);

inline const QString kDefaultEmojiName = QStringLiteral("my-emoji");

} // namespace cropling
