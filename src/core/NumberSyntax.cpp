#include "NumberSyntax.h"

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <locale.h>

namespace cropling {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

} // namespace

std::optional<double> parseNumber(const QByteArray& text) {
    if (text.isEmpty() || isSpace(text.front()))
        return std::nullopt;
    // A private C locale: the application's locale (de_DE reads "1.5" as 1) never leaks in.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    // A deep copy guarantees the terminating NUL that strtod needs.
    const QByteArray terminated(text.constData(), text.size());
    char* end = nullptr;
    const double value = strtod_l(terminated.constData(), &end, cLocale);
    if (end == terminated.constData() || end != terminated.constData() + terminated.size())
        return std::nullopt;
    return value;
}

std::optional<double> parseDecimal(const QByteArray& text) {
    // Digits and points only; strtod then takes one number of them or none.
    const bool plain = std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
    return plain ? parseNumber(text) : std::nullopt;
}

} // namespace cropling
