#include "ScriptedRun.h"

#include "core/CropGeometry.h"
#include "core/NumberSyntax.h"
#include "core/StatusText.h"
#include "io/FileWriting.h"
#include "io/LocalPath.h"
#include "model/EmojiEditor.h"
#include "model/ExportJob.h"

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
    return editor.status()->message().value_or(fallback);
}

// The picture opened in the editor at once, then the zoom taken as given and the offset clamped.
// False, with the reason on the status line, when the picture did not open; messages name it
// `shownAs`, as it was given.
bool openFramed(EmojiEditor& editor, const QUrl& picture, const QString& shownAs, std::optional<double> zoom,
                std::optional<QPointF> offset) {
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

// A copy shows its window while it runs, so its picture is decoded as usual, and goes through
// the editor as the window's Copy does. It delivers a PNG, of an animation its first frame, so
// no other frame is decoded.
ScriptedRunOutcome scriptedCopy(EmojiEditor& editor, const QUrl& picture, const QString& shownAs, std::optional<double> zoom,
                                std::optional<QPointF> offset, ScriptedRunOutcome outcome) {
    editor.setAnimate(false);
    editor.setExportFormat(ExportFormat::Png);
    if (!openFramed(editor, picture, shownAs, zoom, offset)) {
        outcome.failure = reasonFrom(editor, noPictureMessage());
        return outcome;
    }
    std::optional<ExportOutcome> copied;
    editor.copyToClipboard([&copied](const ExportOutcome& ended) { copied = ended; });
    outcome.copied = copied && *copied;
    if (!outcome.copied)
        outcome.failure = copied ? describe(*copied) : reasonFrom(editor, editor.renderFailure());
    return outcome;
}

// A save renders once and shows nothing: only the picture's header is read, and the render
// decodes just the part it shows.
ScriptedRunOutcome scriptedSave(const ScriptedRunEnvironment& env, const QUrl& picture, const QString& shownAs,
                                std::optional<double> zoom, std::optional<QPointF> offset, ScriptedRunOutcome outcome) {
    // Whether the save path was a link when named: one that appears during the render is not followed.
    const AtTarget asNamed = targetAsNamed(*env.save);
    const ExportOutcome exported =
        ExportJob(picture, FramingRequest{zoom, offset, false}, ExportRequest{ExportFormat::Png}, shownAs).run();
    if (!exported) {
        outcome.failure = describe(exported);
        return outcome;
    }
    // Never over the picture itself, by its name or through a link.
    if (isSameFile(*env.save, *env.open)) {
        outcome.failure = replacesPictureMessage(displayName(*env.save), shownAs);
        return outcome;
    }
    // Checked again as the file is written: a link to the picture put at the save path while
    // the emoji was made must not lead the write into it.
    std::vector<FileIdentity> keep;
    if (const auto pictureFile = identityOf(*env.open))
        keep.push_back(*pictureFile);
    QString error;
    switch (writeFile(*env.save, exported.emoji->bytes, &error, asNamed, keep)) {
    case WriteResult::Written:
        break;
    case WriteResult::WouldReplaceKept:
        outcome.failure = replacesPictureMessage(displayName(*env.save), shownAs);
        break;
    case WriteResult::Failed:
        outcome.failure = saveFailedMessage(error);
        break;
    }
    return outcome;
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
    const QUrl picture = urlFromLocalPath(*env.open);
    const QString shownAs = displayName(*env.open);
    return env.copy ? scriptedCopy(editor, picture, shownAs, zoom, offset, outcome)
                    : scriptedSave(env, picture, shownAs, zoom, offset, outcome);
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
