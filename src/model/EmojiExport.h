#pragma once

// The export every delivery shares, the window's save, copy and drag, the scripted run and the
// render command alike: the framed square rendered as a PNG, or for an animation as a GIF within
// the chat service's caps, or the typed reason why there is nothing to deliver. It runs on any
// thread; a Progress follows it and can cancel it.

#include "core/ChatTarget.h"
#include "core/Effects.h"
#include "core/CropGeometry.h"
#include "core/OpenFailure.h"
#include "core/Progress.h"
#include "core/VideoCodec.h"
#include "image/Picture.h"
#include "image/VipsLayer.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace cropling {

enum class ExportFormat {
    Auto, // a GIF for an animation, a PNG for a still
    Png,  // the first frame of an animation
    Gif,  // a still as a GIF of one frame
};

struct ExportRequest {
    ExportFormat format = ExportFormat::Auto;
    int side = kEmojiSide;
    GifLimits limits = gifLimitsOf(defaultChatTarget()); // for a GIF
    EffectSettings effect = {}; // a reaction effect or a caption, made from the still
};

struct ExportedEmoji {
    QByteArray bytes;
    bool gif = false;
    int frames = 1;       // in the file
    int sourceFrames = 1; // in the picture: more than `frames` when some were dropped to fit
    QString mimeType() const { return gif ? QStringLiteral("image/gif") : QStringLiteral("image/png"); }
};

enum class ExportFailure {
    NotOpened,    // the file did not open; `why` says why, when known
    NotFramed,    // auto-framing found no framing; `detail` says why
    NoBackground, // a background to remove was asked for, and the picture has no plain one
    ShowsNothing, // no picture, or the square shows too little of it
    Unreadable,   // the file turned out unreadable only now; `why` says how
    OverBudget,   // not even one frame of the GIF fits the byte budget
    SpanPastEnd,  // a clip's span starts at or after its end; `detail` is the clip's length
    Cancelled,    // no longer wanted; nothing was made
};

// The emoji, or the one reason there is none, with what a message about it needs.
struct ExportOutcome {
    std::optional<ExportedEmoji> emoji;
    ExportFailure failure = ExportFailure::ShowsNothing;
    std::optional<OpenFailure> why;
    QString detail;
    VideoCodec codec = VideoCodec::Unknown; // a clip's, when its codec is why it did not open
    QString input;          // the picture as given, or as the window names it
    long long maxBytes = 0; // the budget a GIF did not fit
    QString note;           // with an emoji: what was changed to make it, as a line to show
    explicit operator bool() const { return emoji.has_value(); }
};

// Whether a request for this picture gives a GIF: an animation, or a still with an effect.
bool exportsGif(const Picture* picture, ExportFormat format, const EffectSettings& effect = {});

ExportOutcome exportEmoji(const Picture* picture, const Framing& framing, const ExportRequest& request,
                          Progress* progress = nullptr);

// Why an export gave nothing, as the status line and stderr say it; empty for a cancelled one.
QString describe(const ExportOutcome& outcome);
// The same as a line among others (stderr, a batch's report): it names the picture it is about.
QString describeWithInput(const ExportOutcome& outcome);

} // namespace cropling
