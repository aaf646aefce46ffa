#include "ScriptedRun.h"

#include "core/CropGeometry.h"
#include "core/NumberSyntax.h"
#include "core/StatusText.h"
#include "io/FileWriting.h"
#include "io/LocalPath.h"
#include "model/EmojiEditor.h"

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
    editor.load(urlFromLocalPath(*env.open));
    if (!env.save)
        return outcome;
    outcome.batch = true;
    const QByteArray outputPath = *env.save;

    // The zoom is taken as given: no slider range, and no re-clamp of the offset here.
    if (env.zoom) {
        if (const auto zoom = parseNumber(*env.zoom))
            editor.setZoomUnclamped(*zoom);
    }
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
            outcome.failure = reasonFrom(editor, renderFailedMessage());
        return outcome;
    }

    const auto png = editor.renderEmojiPNG(kEmojiSide);
    if (!png) {
        outcome.failure = editor.image() ? renderFailedMessage() : reasonFrom(editor, noPictureMessage());
        return outcome;
    }
    QString error;
    if (!writeFileAtomically(outputPath, *png, &error))
        outcome.failure = saveFailedMessage(error);
    return outcome;
}

} // namespace cropling
