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
    std::optional<double> zoom;
    if (env.save && env.zoom)
        zoom = parseNumber(*env.zoom);
    // A batch save renders once and shows nothing: the render decodes just what it needs. A copy
    // shows its window while it runs, so its picture is decoded as usual.
    editor.setRenderOnce(env.save && !env.copy);
    // Each step of a batch run needs the one before it done.
    if (env.save)
        editor.setBackgroundWork(false);
    editor.load(urlFromLocalPath(*env.open));
    if (!env.save)
        return outcome;
    outcome.batch = true;
    const QByteArray outputPath = *env.save;

    // The zoom is taken as given: no slider range, and no re-clamp of the offset here.
    if (zoom)
        editor.setZoomUnclamped(*zoom);
    if (env.offsetX && env.offsetY) {
        const auto x = parseNumber(*env.offsetX);
        const auto y = x ? parseNumber(*env.offsetY) : std::nullopt;
        if (x && y)
            editor.setOffset({*x, *y});
    }

    if (env.copy) {
        editor.copyToClipboard();
        outcome.copied = editor.statusMessage() == copiedMessage(editor.emojiName());
        // A copy that fails always says why on the status line.
        if (!outcome.copied)
            outcome.failure = reasonFrom(editor, editor.renderFailure());
        return outcome;
    }

    const auto png = editor.renderEmojiPNG(kEmojiSide);
    if (!png) {
        outcome.failure = editor.image() ? editor.renderFailure() : reasonFrom(editor, noPictureMessage());
        return outcome;
    }
    QString error;
    if (!writeFileAtomically(outputPath, *png, &error))
        outcome.failure = saveFailedMessage(error);
    return outcome;
}

void reportFailure(const ScriptedRunOutcome& outcome) {
    if (outcome.failure)
        std::fprintf(stderr, "cropling: %s\n", outcome.failure->toLocal8Bit().constData());
}

} // namespace cropling
