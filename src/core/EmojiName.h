#pragma once

#include <QByteArray>
#include <QString>

namespace cropling {

// One rule for every name, derived or typed: lower case a-z, 0-9, hyphen and underscore; accented
// Latin letters as their plain letters (é -> e, ß -> ss); each run of what parts words (spaces,
// dashes, dots, slashes, letters of other scripts) one hyphen, hyphens already there included;
// what only decorates words (punctuation marks, emoji and other symbols) dropped.

// The name a new emoji gets from its file's name: the rule, no hyphen at either end, "my-emoji"
// when nothing is left. The argument is the file's last path component as raw bytes; bytes that
// are not valid UTF-8 are dropped.
QString deriveEmojiName(const QByteArray& fileName);

// A name as the user types it, held to the rule as it goes, no hyphen at the start. A hyphen at
// the end stays, since the next key may continue the name; an empty name stays empty (the export
// then says "emoji").
QString typedEmojiName(const QString& typed);

// A typed name once the user has left the field: no hyphen at either end either.
QString finishedEmojiName(const QString& typed);

// The name without hyphens at either end, as it is otherwise.
QString withoutEndHyphens(const QString& name);

// The file name without its last extension ("photo.tar.gz" -> "photo.tar"). A leading dot marks a
// hidden file, not an extension.
QByteArray withoutLastExtension(const QByteArray& fileName);

inline const QString kDefaultEmojiName = QStringLiteral("my-emoji");

} // namespace cropling
