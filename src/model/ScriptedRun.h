#pragma once

// The scripted run: six environment variables open a picture, set the zoom and the pan, then save
// or copy the emoji and quit.

#include <QByteArray>
#include <QPointF>
#include <QString>
#include <QUrl>

#include <optional>

namespace cropling {

class EmojiEditor;

struct ScriptedRunEnvironment {
    std::optional<QByteArray> open;
    std::optional<QByteArray> save;
    std::optional<QByteArray> zoom;
    std::optional<QByteArray> offsetX;
    std::optional<QByteArray> offsetY;
    std::optional<QByteArray> copy;

    // Read once, as raw bytes, so a path that is not valid UTF-8 survives.
    static ScriptedRunEnvironment fromProcess();
    // A run that ends by quitting: a picture to open and an output path.
    bool isBatch() const { return open && save; }
};

struct ScriptedRunOutcome {
    bool batch = false;   // the run should now quit
    bool copied = false;  // the clipboard holds the emoji and must outlive the process
    std::optional<QString> failure; // why nothing was delivered, for one line on stderr
    int exitCode() const { return failure ? 1 : 0; }
};

ScriptedRunOutcome runScripted(EmojiEditor& editor, const ScriptedRunEnvironment& environment);

// Why a run delivered nothing, as one line for stderr with control characters escaped; empty when
// it delivered.
QByteArray failureLine(const ScriptedRunOutcome& outcome);
void reportFailure(const ScriptedRunOutcome& outcome);
void reportFailure(const QString& failure);

} // namespace cropling
