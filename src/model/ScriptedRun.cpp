#include "ScriptedRun.h"

#include "core/CropGeometry.h"
#include "core/NumberSyntax.h"
#include "core/StatusText.h"
#include "io/FileWriting.h"
#include "io/LocalPath.h"
#include "model/EmojiEditor.h"

#include <cstdio>
#include <cstdlib>

namespace cropling {

namespace {

std::optional<QByteArray> variable(const char* name) {
    const char* value = std::getenv(name);
    if (!value)
        return std::nullopt;
    return QByteArray(value);
}

// Why a run delivered nothing: the editor's own message when there is one.
QString reasonFrom(const EmojiEditor& editor, const QString& fallback) {
    return editor.statusMessage().value_or(fallback);
}

} // namespace

ScriptedRunEnvironment ScriptedRunEnvironment::fromProcess() {
    return {variable("CROPLING_OPEN"),   variable("CROPLING_TEST_SAVE"), variable("CROPLING_TEST_ZOOM"),
            variable("CROPLING_TEST_OX"), variable("CROPLING_TEST_OY"),  variable("CROPLING_TEST_COPY")};
}

ScriptedRunOutcome runScripted(EmojiEditor& editor, const ScriptedRunEnvironment& env) {
    ScriptedRunOutcome outcome;
    if (!env.open)
        return outcome;
    if (!env.save) {
        editor.load(urlFromLocalPath(*env.open));
        return outcome;
    }
    outcome.batch = true;
    // The zoom and offset count only in a batch run; the offset needs both halves.
    const std::optional<double> zoom = env.zoom ? parseNumber(*env.zoom) : std::nullopt;
    std::optional<QPointF> offset;
    if (env.offsetX && env.offsetY) {
        const auto x = parseNumber(*env.offsetX);
        const auto y = x ? parseNumber(*env.offsetY) : std::nullopt;
        if (x && y)
            offset = QPointF(*x, *y);
    }
    // A batch run delivers a PNG, of an animation its first frame, so no other frame is decoded.
    editor.setAnimate(false);
    editor.setExportFormat(ExportFormat::Png);
    // A batch save renders once and shows nothing: the render decodes just what it needs. A copy
    // shows its window while it runs, so its picture is decoded as usual.
    if (!openFramed(editor, urlFromLocalPath(*env.open), displayName(*env.open), !env.copy, zoom, offset)) {
        outcome.failure = reasonFrom(editor, noPictureMessage());
        return outcome;
    }
    const QByteArray outputPath = *env.save;

    if (env.copy) {
        editor.copyToClipboard();
        // A copy that fails always says why on the status line, as a failure.
        outcome.copied = editor.statusKind() == EmojiEditor::StatusKind::Note && editor.statusMessage();
        if (!outcome.copied)
            outcome.failure = reasonFrom(editor, editor.renderFailure());
        return outcome;
    }

    const auto png = editor.renderEmojiPNG(kEmojiSide);
    if (!png) {
        outcome.failure = editor.renderFailure();
        return outcome;
    }
    QString error;
    if (!writeFileAtomically(outputPath, *png, &error))
        outcome.failure = saveFailedMessage(error);
    return outcome;
}

bool openFramed(EmojiEditor& editor, const QUrl& picture, const QString& shownAs, bool renderOnce,
                std::optional<double> zoom, std::optional<QPointF> offset) {
    editor.setRenderOnce(renderOnce);
    // Each step needs the one before it done.
    editor.setBackgroundWork(false);
    editor.load(picture, shownAs);
    if (!editor.image())
        return false;
    // The zoom is taken as given: no slider range, and no re-clamp of the offset here.
    if (zoom)
        editor.setZoomUnclamped(*zoom);
    if (offset)
        editor.setOffset(*offset);
    return true;
}

QByteArray failureLine(const ScriptedRunOutcome& outcome) {
    if (!outcome.failure)
        return {};
    // A file name may hold a line break or a terminal's escape sequence: the line stays one line,
    // and says nothing to the terminal but what it shows.
    return "cropling: " + terminalLine(*outcome.failure) + '\n';
}

void reportFailure(const QString& failure) {
    ScriptedRunOutcome outcome;
    outcome.failure = failure;
    reportFailure(outcome);
}

void reportFailure(const ScriptedRunOutcome& outcome) {
    const QByteArray line = failureLine(outcome);
    if (!line.isEmpty())
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
}

} // namespace cropling
