#include "StatusText.h"

#include "core/Animation.h"
#include "core/ClipSpan.h"
#include "core/CropGeometry.h"
#include "core/EmojiName.h"

#include <QCoreApplication>
#include <QLocale>

#include <cstdio>

namespace cropling {

namespace {

// The translation context of these texts.
struct StatusText {
    Q_DECLARE_TR_FUNCTIONS(StatusText)
};

} // namespace

QString exportName(const QString& emojiName) {
    // A hyphen left at an end while typing goes on export; the name is otherwise used as it is.
    const QString name = withoutEndHyphens(emojiName);
    return name.isEmpty() ? QStringLiteral("emoji") : name;
}

QString exportFileName(const QString& emojiName, bool gif) {
    return exportName(emojiName) + (gif ? QStringLiteral(".gif") : QStringLiteral(".png"));
}

QString emojiSizeText() { return QStringLiteral("%1×%1").arg(kEmojiSide); }

QString kilobytes(long long bytes) {
    // printf rounds exactly, ties to even, and "%.0f" has no decimal separator for a locale to change.
    char text[64];
    std::snprintf(text, sizeof text, "%.0f", double(bytes) / 1024.0);
    return QString::fromLatin1(text);
}

// The multi-argument arg() fills every marker in one pass, so a "%2" inside a file name stays as typed.
QString savedMessage(const QString& fileName, long long bytes, int frames, int sourceFrames) {
    if (frames > 1 || sourceFrames > 1)
        return StatusText::tr("Saved %1 — %2, %3, %4 KB").arg(fileName, emojiSizeText(), framesText(frames, sourceFrames), kilobytes(bytes));
    return StatusText::tr("Saved %1 — %2, %3 KB").arg(fileName, emojiSizeText(), kilobytes(bytes));
}

QString copiedMessage(const QString& emojiName, bool gif, long long bytes, int frames, int sourceFrames) {
    if (gif)
        return StatusText::tr("Copied %1 to clipboard — %2, %3, %4 KB")
            .arg(exportFileName(emojiName, gif), emojiSizeText(), framesText(frames, sourceFrames), kilobytes(bytes));
    return StatusText::tr("Copied %1 to clipboard — %2").arg(exportFileName(emojiName, gif), emojiSizeText());
}

QString framesText(int frames, int sourceFrames) {
    if (sourceFrames > frames)
        return StatusText::tr("%1 of %2 frames").arg(frames).arg(sourceFrames);
    return frames == 1 ? StatusText::tr("1 frame") : StatusText::tr("%1 frames").arg(frames);
}

QString exportProgressText(bool gif, double fraction) {
    if (!gif)
        return StatusText::tr("Making the PNG…");
    return StatusText::tr("Making the GIF… %1 %").arg(int(fraction * 100));
}

QString animationText(int frames, long long durationMs) {
    return StatusText::tr("%1 frames · %2 s").arg(frames).arg(QLocale().toString(double(durationMs) / 1000.0, 'f', 1));
}

QString overBudgetMessage(long long maxBytes) {
    return StatusText::tr("Couldn't fit the animation in %1 bytes").arg(QLocale().toString(maxBytes));
}

QString saveFailedMessage(const QString& reason) { return StatusText::tr("Save failed: %1").arg(reason); }

QString pictureChangedMessage() {
    return StatusText::tr("Not saved: another picture was opened while the dialog was open");
}

QString replacesPictureMessage(const QString& output, const QString& picture) {
    return StatusText::tr("not written: %1 would replace the picture %2").arg(output, picture);
}

QString renderFailedMessage() { return StatusText::tr("Couldn't render the emoji."); }

QString couldNotOpenMessage(const QString& fileName) { return StatusText::tr("Couldn't open %1").arg(fileName); }

QString openFailureReason(OpenFailure why) {
    switch (why) {
    case OpenFailure::NotFound: return StatusText::tr("no such file");
    case OpenFailure::NotReadable: return StatusText::tr("permission denied");
    case OpenFailure::NotPicture: return StatusText::tr("not a picture Cropling can open");
    case OpenFailure::Damaged: return StatusText::tr("damaged");
    case OpenFailure::TooLarge:
    case OpenFailure::OutOfMemory: return StatusText::tr("too large to open safely");
    case OpenFailure::TookTooLong: return StatusText::tr("took too long");
    case OpenFailure::NoVideo: return StatusText::tr("sound only, no video");
    case OpenFailure::UnsupportedCodec: return StatusText::tr("unsupported video codec");
    case OpenFailure::SpanPastEnd: return StatusText::tr("the span starts after the clip's end");
    case OpenFailure::TooManyFrames: return StatusText::tr("an animation longer than %1 frames or %2 s").arg(QLocale().toString(kMaxFrames)).arg(kMaxAnimationMs / 1000);
    }
    return StatusText::tr("damaged");
}

QString couldNotOpenMessage(const QString& fileName, std::optional<OpenFailure> why, VideoCodec codec) {
    const QString plain = couldNotOpenMessage(fileName);
    if (!why)
        return plain;
    const QString name = videoCodecName(codec);
    if (*why == OpenFailure::UnsupportedCodec && !name.isEmpty())
        return StatusText::tr("%1: %2 (%3)").arg(plain, openFailureReason(*why), name);
    return StatusText::tr("%1: %2").arg(plain, openFailureReason(*why));
}

QString noImageOnClipboardMessage() { return StatusText::tr("No image on the clipboard."); }

QString noPictureMessage() { return StatusText::tr("No picture to export."); }

QString framedFacesMessage(int faces, bool kept) {
    if (faces < 1 && kept)
        return StatusText::tr("No face found — kept your framing");
    if (faces < 1)
        return StatusText::tr("No face found — framed the busiest part");
    if (faces == 1)
        return StatusText::tr("Framed 1 face");
    return StatusText::tr("Framed the largest of %1 faces").arg(faces);
}

QString autoFrameFailedMessage(const QString& reason) { return StatusText::tr("Couldn't frame the face: %1").arg(reason); }

QString spanPastEndMessage(const QString& fileName, const QString& clipLength) {
    return StatusText::tr("Couldn't render %1: the clip ends at %2, before the span's start").arg(fileName, clipLength);
}

QString spanShortenedMessage(const QString& fileName, const QString& clipLength, const QString& start, const QString& end) {
    return StatusText::tr("%1 ends at %2: the span was shortened to %3–%4").arg(fileName, clipLength, start, end);
}

QString spanAdjustedMessage(const QString& fileName, const QString& start, const QString& end) {
    return StatusText::tr("%1: the span was taken as %2–%3, as an animation plays for %4 to %5 s")
        .arg(fileName, start, end, QLocale().toString(kMinSpanMs / 1000.0), QLocale().toString(kMaxAnimationMs / 1000));
}

QString noBackgroundMessage() { return StatusText::tr("Found no plain background to remove"); }

QString turnFailedMessage() { return StatusText::tr("Couldn't turn the picture: not enough memory"); }

namespace {

bool reordersText(char32_t c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

} // namespace

QByteArray terminalLine(const QString& message) {
    QByteArray line;
    char escape[16];
    for (const char32_t c : message.toStdU32String()) {
        if (c < 0x20 || (c >= 0x7f && c <= 0x9f)) {
            std::snprintf(escape, sizeof escape, "\\x%02x", unsigned(c));
            line += escape;
        } else if (reordersText(c)) {
            std::snprintf(escape, sizeof escape, "\\u%04x", unsigned(c));
            line += escape;
        } else {
            line += QString::fromStdU32String(std::u32string(1, c)).toLocal8Bit();
        }
    }
    return line;
}

} // namespace cropling
