#pragma once

#include <QByteArray>

#include <optional>

namespace cropling {

// The whole value as one C-locale strtod number (hex, infinity and not-a-number forms included),
// whatever the user's locale. Empty values, leading white space and anything left over are rejected.
std::optional<double> parseNumber(const QByteArray& text);

} // namespace cropling
