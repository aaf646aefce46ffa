#pragma once

// One export, whoever asks for it: the window's save, copy and drag, the scripted run and the
// render command. It takes a picture (one a window holds, or a file opened for this export alone),
// a framing (as the window shows it, given by a script, or found by auto-framing) and what to make,
// runs on any thread, says how far it is, can be cancelled, and gives the emoji or one typed
// failure. Text is made from the failure only where it is shown (describe()).

#include "core/Progress.h"
#include "model/EmojiExport.h"

#include <QPointF>
#include <QString>
#include <QUrl>

#include <optional>

namespace cropling {

// How a file opened for one export is framed: the zoom taken as given and the offset clamped, as
// a script sets them, or the face found in it.
struct FramingRequest {
    std::optional<double> zoom;
    std::optional<QPointF> offset;
    bool autoFrame = false;
    int turn = 1; // an orientation applied after the file's own (core/Orientation.h)
    // For a video clip: the span, by its start and end in the clip, and its speed.
    std::optional<qint64> clipStartMs = std::nullopt;
    std::optional<qint64> clipEndMs = std::nullopt;
    double clipSpeed = 1.0;
    // The picture's plain background made transparent first.
    bool cutout = false;
};

class ExportJob {
public:
    // A picture already open, framed as shown; `input` names it in a failure.
    ExportJob(PicturePtr picture, const Framing& framing, const ExportRequest& request, const QString& input);
    // A file opened for this export alone: only its header is read and just the part shown is
    // decoded, or, to find a face, it is decoded at the resolution a window would use.
    ExportJob(const QUrl& file, const FramingRequest& framing, const ExportRequest& request, const QString& input);

    // Runs it on this thread; `progress`, when given, hears how far it is and may cancel it from
    // any other thread.
    ExportOutcome run(Progress* progress = nullptr) const;

private:
    PicturePtr picture_;
    Framing framing_;
    QUrl file_;
    FramingRequest framingRequest_;
    ExportRequest request_;
    QString input_;
};

} // namespace cropling
