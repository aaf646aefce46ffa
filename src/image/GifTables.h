#pragma once

// A GIF whose every transparent index lies inside the colour table it indexes.
//
// The GIF writer under libvips takes the index after the last palette entry as the transparent
// colour of a frame that leaves pixels to the frame before. When fewer colours were asked for
// (4, 16, 64…) and the palette is full, that index lies past the end of the table: the file is
// out of the format, and decoders differ on it (some show those pixels black). Each such table is
// padded here to the next size that holds the index; the pixel data needs no change, since the
// writer already sized its codes for the index.

#include <QByteArray>

namespace cropling {

// The GIF with its colour tables padded where a transparent index lies past them; the bytes as
// they are when none does, or when they are not a GIF this can walk.
QByteArray withTransparentIndexesInTables(const QByteArray& gif);

} // namespace cropling
