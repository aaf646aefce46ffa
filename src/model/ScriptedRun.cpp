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
    // A picture that did not open ends the run here, whether it was to be saved or copied.
    if (!editor.image()) {
        outcome.failure = reasonFrom(editor, noPictureMessage());
        return outcome;
    }
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
        outcome.failure = editor.renderFailure();
        return outcome;
    }
    QString error;
    if (!writeFileAtomically(outputPath, *png, &error))
        outcome.failure = saveFailedMessage(error);
    return outcome;
}

QByteArray failureLine(const ScriptedRunOutcome& outcome) {
    if (!outcome.failure)
        return {};
    // A file name may hold a line break or a terminal's escape sequence: the line stays one line,
    // and says nothing to the terminal but what it shows.
    QByteArray line = "cropling: ";
    for (const char c : outcome.failure->toLocal8Bit()) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f)
            line += "\\x" + QByteArray::number(byte, 16).rightJustified(2, '0');
        else
            line += c;
    }
    return line + '\n';
}

void reportFailure(const ScriptedRunOutcome& outcome) {
    const QByteArray line = failureLine(outcome);
    if (!line.isEmpty())
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
}

} // namespace cropling
