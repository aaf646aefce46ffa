#pragma once

#include <QByteArray>
#include <QPointF>

#include <optional>

namespace cropling {

class Picture;

// The framed square as an n x n 8-bit RGBA sRGB PNG, resampled from the decoded picture, or for a
// picture opened for one render, from just the part of the file it shows. Nothing without a
// picture, for a side outside 1..kMaxOutputSize, or when the square shows too little of the
// picture (see emojiSourcePixels); when asked, says whether the file turned out unreadable.
std::optional<QByteArray> renderEmojiPNG(const Picture* picture, double zoom, QPointF offset, int outputSize,
                                         bool* unreadable = nullptr);

// The largest output side the render accepts; every caller passes the emoji side.
inline constexpr int kMaxOutputSize = 4096;

} // namespace cropling
