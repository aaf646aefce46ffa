#include "EmojiName.h"

#include <QList>

namespace cropling {

namespace {

bool isAllowed(char32_t c) {
    return (c >= U'a' && c <= U'z') || (c >= U'0' && c <= U'9') || c == U'-' || c == U'_';
}

// Lower case, and every maximal run of disallowed code points one hyphen; existing hyphens stay as
// they are, so "a - b" keeps three. toLower applies the full Unicode mapping, so the Kelvin sign
// becomes a plain k.
QString replacedRuns(const QString& text) {
    QString replaced;
    bool inRun = false;
    for (const char32_t c : text.toLower().toUcs4()) {
        if (isAllowed(c)) {
            replaced.append(QChar(char16_t(c)));
            inRun = false;
        } else if (!inRun) {
            replaced.append(u'-');
            inRun = true;
        }
    }
    return replaced;
}

} // namespace

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

QString deriveEmojiName(const QByteArray& fileName) {
    // fromUtf8 turns each invalid byte into U+FFFD, which is not allowed and so becomes a hyphen.
    const QString replaced = replacedRuns(QString::fromUtf8(withoutLastExtension(fileName)));

    qsizetype begin = 0;
    qsizetype end = replaced.size();
    while (begin < end && replaced[begin] == u'-')
        ++begin;
    while (end > begin && replaced[end - 1] == u'-')
        --end;
    const QString trimmed = replaced.mid(begin, end - begin);
    return trimmed.isEmpty() ? kDefaultEmojiName : trimmed;
}

} // namespace cropling
