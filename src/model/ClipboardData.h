#pragma once

// What a copy puts on the clipboard: the PNG bytes, and the temporary file's location as file
// managers and other applications expect it.

#include "model/EmojiExport.h"

#include <QByteArray>
#include <QString>

#include <optional>

class QMimeData;

namespace cropling {

// What a copy of the exported emoji puts on the clipboard, for every front end: its data, and the
// private folder's file of it for `emojiName` when that could be written (else the data alone).
QMimeData* exportClipboardData(const ExportedEmoji& emoji, const QString& emojiName);

// The picture as `mimeType` (image/png or image/gif) always; text/uri-list and
// x-special/gnome-copied-files when a file was written.
QMimeData* makeClipboardData(const QByteArray& picture, const QString& mimeType, const std::optional<QByteArray>& filePath);

// The clipboard's formats and their data as one byte string, to hand to another process, and back.
// Reading back gives nothing unless the bytes are a whole, well-formed hand-over that holds a PNG
// or a GIF.
QByteArray serialiseClipboardData(const QMimeData& data);
QMimeData* deserialiseClipboardData(const QByteArray& bytes);

} // namespace cropling
