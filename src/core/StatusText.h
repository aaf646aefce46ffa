#pragma once

// The export name and every message the status line or a scripted run reports.

#include "core/OpenFailure.h"
#include "core/VideoCodec.h"

#include <QString>

#include <optional>

namespace cropling {

// The name as typed, or "emoji" when the field is empty; never trimmed or filtered.
QString exportName(const QString& emojiName);
QString exportFileName(const QString& emojiName, bool gif = false);

// The exported size as people read it: "128×128".
QString emojiSizeText();
// "%.0f" of bytes / 1024: the nearest whole number, an exact half going to the even neighbour.
QString kilobytes(long long bytes);

// "Saved party.gif — 128×128, 48 frames, 121 KB": the frames are said for an animation, and how
// many the picture had when some were dropped to fit ("50 of 125 frames").
QString savedMessage(const QString& fileName, long long bytes, int frames = 1, int sourceFrames = 1);
// "Copied party.png to clipboard — 128×128"; of a GIF, its frames and size as a save says them.
QString copiedMessage(const QString& emojiName, bool gif = false, long long bytes = 0, int frames = 1, int sourceFrames = 1);
// "48 frames", or "50 of 125 frames" when frames were dropped.
QString framesText(int frames, int sourceFrames);
// While an export runs: "Making the GIF… 40 %".
QString exportProgressText(bool gif, double fraction);
// "48 frames · 2.4 s"
QString animationText(int frames, long long durationMs);
// An animation that not even one frame of fits in the budget.
QString overBudgetMessage(long long maxBytes);
QString saveFailedMessage(const QString& reason);
// A save whose picture was replaced while its dialog was open.
QString pictureChangedMessage();
// An output that is, by any name or link, the picture it is made from.
QString replacesPictureMessage(const QString& output, const QString& picture);
QString renderFailedMessage();
QString couldNotOpenMessage(const QString& fileName);
// "Couldn't open cat.jpg: damaged": the reason follows the plain message when it is known, and
// the codec when it is a clip's: "Couldn't open scan.mkv: unsupported video codec (FFV1)".
QString couldNotOpenMessage(const QString& fileName, std::optional<OpenFailure> why, VideoCodec codec = VideoCodec::Unknown);
QString openFailureReason(OpenFailure why);
QString noImageOnClipboardMessage();
QString noPictureMessage();
// What auto-framing did: "Framed 1 face", "Framed the largest of 3 faces", "No face found — framed
// the busiest part"; or why it could not.
QString framedFacesMessage(int faces, bool kept = false);
QString autoFrameFailedMessage(const QString& reason);
// A removal of the background that found none it could tell from the subject.
QString noBackgroundMessage();
// A clip's span asked to start at or after the clip's end ("0:04.0").
QString spanPastEndMessage(const QString& fileName, const QString& clipLength);
// A span asked to end after the clip's end, cut to it.
QString spanShortenedMessage(const QString& fileName, const QString& clipLength, const QString& start, const QString& end);
// A span asked for that an animation could not play as it is (shorter than 0.1 s, longer than
// 60 s at its speed), taken as it could.
QString spanAdjustedMessage(const QString& fileName, const QString& start, const QString& end);
// A turn that found no memory for the turned picture.
QString turnFailedMessage();

// A message as one line for a terminal: control characters (C0, DEL and C1) as \xNN and the
// characters that reorder text on screen (bidirectional marks, embeddings, overrides and
// isolates) as \uNNNN, so a file name can neither break the line nor disguise what it says.
QByteArray terminalLine(const QString& message);

} // namespace cropling
