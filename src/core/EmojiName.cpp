#include "EmojiName.h"

#include <QList>

#include <unicode/translit.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <memory>

namespace cropling {

namespace {

bool isAllowed(char32_t c) {
    return (c >= U'a' && c <= U'z') || (c >= U'0' && c <= U'9') || c == U'-' || c == U'_';
}

// Accented Latin letters as the plain letters they are written with where accents cannot be:
// é -> e, ö -> o, ß -> ss, æ -> ae, ł -> l. Other scripts stay as they are (and then do not
// count as allowed). One transliterator per thread: batches derive names on several at once.
QString plainLatin(const QString& text) {
    thread_local const std::unique_ptr<icu::Transliterator> toAscii = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Transliterator> made(icu::Transliterator::createInstance(
            "NFD; [:Nonspacing Mark:] Remove; NFC; Latin-ASCII", UTRANS_FORWARD, status));
        return U_SUCCESS(status) ? std::move(made) : nullptr;
    }();
    if (!toAscii)
        return text;
    icu::UnicodeString unicode(reinterpret_cast<const UChar*>(text.utf16()), int32_t(text.size()));
    toAscii->transliterate(unicode);
    return QString(reinterpret_cast<const QChar*>(unicode.getBuffer()), unicode.length());
}

// What a character that is not allowed becomes: a hyphen where it parts words (a space, a dash,
// a dot, a slash, a control character, a letter of another script), nothing where it only
// decorates them (an exclamation mark, a quote, an emoji or another symbol).
bool partsWords(char32_t c) {
    switch (u_charType(UChar32(c))) {
    case U_OTHER_PUNCTUATION: return c == U'.' || c == U'/' || c == U'\\' || c == U',' || c == U':' || c == U';';
    case U_START_PUNCTUATION:
    case U_END_PUNCTUATION:
    case U_INITIAL_PUNCTUATION:
    case U_FINAL_PUNCTUATION:
    case U_MATH_SYMBOL:
    case U_CURRENCY_SYMBOL:
    case U_MODIFIER_SYMBOL:
    case U_OTHER_SYMBOL:
    case U_SURROGATE:
    case U_PRIVATE_USE_CHAR:
    case U_FORMAT_CHAR: return false;
    default: return true;
    }
}

// Lower case, plain Latin, and every run of characters that part words one hyphen, hyphens
// already there included; what only decorates words goes. toLower applies the full Unicode
// mapping, so the Kelvin sign becomes a plain k.
QString replacedRuns(const QString& text) {
    QString replaced;
    for (const char32_t c : plainLatin(text.toLower()).toLower().toUcs4()) {
        if (isAllowed(c) && c != U'-')
            replaced.append(QChar(char16_t(c)));
        else if ((c == U'-' || partsWords(c)) && !replaced.endsWith(u'-'))
            replaced.append(u'-');
    }
    return replaced;
}

} // namespace

QString withoutEndHyphens(const QString& name) {
    qsizetype begin = 0;
    qsizetype end = name.size();
    while (begin < end && name[begin] == u'-')
        ++begin;
    while (end > begin && name[end - 1] == u'-')
        --end;
    return name.mid(begin, end - begin);
}

QByteArray withoutLastExtension(const QByteArray& fileName) {
    const qsizetype dot = fileName.lastIndexOf('.');
    return dot > 0 ? fileName.left(dot) : fileName;
}

QString typedEmojiName(const QString& typed) {
    QString name = replacedRuns(typed);
    qsizetype begin = 0;
    while (begin < name.size() && name[begin] == u'-')
        ++begin;
    return name.mid(begin);
}

QString finishedEmojiName(const QString& typed) { return withoutEndHyphens(replacedRuns(typed)); }

QString deriveEmojiName(const QByteArray& fileName) {
    // fromUtf8 turns each invalid byte into U+FFFD, a symbol, which goes.
    const QString trimmed = finishedEmojiName(QString::fromUtf8(withoutLastExtension(fileName)));
    return trimmed.isEmpty() ? kDefaultEmojiName : trimmed;
}

} // namespace cropling
