#pragma once

// What a paste or a drop brings in, decided from the offered data alone.

#include "image/Picture.h"

#include <QImage>
#include <QList>
#include <QUrl>

#include <optional>

class QMimeData;

namespace cropling {

struct PasteChoice {
    std::optional<QUrl> fileUrl; // an image file to load; wins over image data
    QByteArray encoded;          // or a picture file's bytes without a file, in any picture format
    QImage image;                // or bare pixels
};

// The paste precedence: the first file location whose content is an image (from text/uri-list, or
// from x-special/gnome-copied-files as GNOME file managers offer copied files), then image data whose
// first bytes are those of a picture type, then bare pixels, else nothing. Loading and decoding are
// the caller's.
PasteChoice choosePaste(const QMimeData* data);

// Local file locations offered by the data, in order.
QList<QUrl> offeredFileUrls(const QMimeData* data);

// The first local file location of a drop; drops of text or bare image data carry none.
std::optional<QUrl> firstDroppedFile(const QMimeData* data);

// Whether a file's type, judged by its name and its first bytes, is a picture type.
bool isImageFile(const QUrl& url);

} // namespace cropling
