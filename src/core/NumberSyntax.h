#pragma once

#include <QByteArray>

#include <optional>

namespace cropling {

// The whole value as one C-locale strtod number (hex, infinity and not-a-number forms included),
// whatever the user's locale. Empty values, leading white space and anything left over are rejected.
std::optional<double> parseNumber(const QByteArray& text);

// A number as people write one: digits with at most one decimal point ("1.5", ".5", "2."), nothing
// else: no sign, exponent, hex or infinity.
std::optional<double> parseDecimal(const QByteArray& text);

} // namespace cropling
