#pragma once

// What a copy puts on the clipboard: the PNG bytes, and the temporary file's location as file
// managers and other applications expect it.

#include <QByteArray>
#include <QString>

#include <optional>

class QMimeData;

namespace cropling {

// Writes the exported picture as the private folder's file for `emojiName`, for the clipboard to
// offer: its path, or nothing when it could not be written there (the copy then carries the data
// alone).
std::optional<QByteArray> writeTemporaryExport(const QByteArray& picture, const QString& emojiName, bool gif);

// The picture as `mimeType` (image/png or image/gif) always; text/uri-list and
// x-special/gnome-copied-files when a file was written.
QMimeData* makeClipboardData(const QByteArray& picture, const QString& mimeType, const std::optional<QByteArray>& filePath);

// The clipboard's formats and their data as one byte string, to hand to another process, and back.
// Reading back gives nothing unless the bytes are a whole, well-formed hand-over that holds a PNG
// or a GIF.
QByteArray serialiseClipboardData(const QMimeData& data);
QMimeData* deserialiseClipboardData(const QByteArray& bytes);

} // namespace cropling
