#include "Automation.h"

#include "app/ContentView.h"
#include "export/ExportText.h"
#include "export/FileWriting.h"
#include "intake/LocalPath.h"

#include <clocale>
#include <cstdlib>
#include <locale.h>

namespace cropling {

namespace {

std::optional<QByteArray> variable(const char* name) {
    const char* value = std::getenv(name);
    if (!value)
        return std::nullopt;
    return QByteArray(value);
}

bool startsWithSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Why a run delivered nothing: the editor's own message when there is one.
QString reasonFrom(const ContentView& editor, const QString& fallback) {
    return editor.saveMessage().value_or(fallback);
}

} // namespace

AutomationEnvironment AutomationEnvironment::fromProcess() {
    return {variable("CROPLING_OPEN"),   variable("CROPLING_TEST_SAVE"), variable("CROPLING_TEST_ZOOM"),
            variable("CROPLING_TEST_OX"), variable("CROPLING_TEST_OY"),  variable("CROPLING_TEST_COPY")};
}

std::optional<double> parseNumber(const QByteArray& text) {
    if (text.isEmpty() || startsWithSpace(text.front()))
        return std::nullopt;
    // A private C locale: the application's locale (de_DE reads "1.5" as 1) never leaks in.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    const QByteArray terminated(text.constData(), text.size());
    char* end = nullptr;
    const double value = strtod_l(terminated.constData(), &end, cLocale);
    if (end == terminated.constData() || end != terminated.constData() + terminated.size())
        return std::nullopt;
    return value;
}

AutomationOutcome runAutomation(ContentView& editor, const AutomationEnvironment& env) {
    AutomationOutcome outcome;
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
            editor.setZoom(*zoom);
    }
    if (env.offsetX && env.offsetY) {
        const auto x = parseNumber(*env.offsetX);
        const auto y = x ? parseNumber(*env.offsetY) : std::nullopt;
        if (x && y)
            editor.setOffset(editor.clamped({*x, *y}));
    }

    const QString noPicture = QStringLiteral("No picture to export.");
    if (env.copy) {
        editor.copyToClipboard();
        outcome.copied = editor.saveMessage() == copiedMessage(editor.emojiName());
        // A copy that fails always says why on the status line.
        if (!outcome.copied)
            outcome.failure = reasonFrom(editor, kRenderFailedMessage);
        return outcome;
    }

    const auto png = editor.renderEmojiPNG(kEmojiSide);
    if (!png) {
        outcome.failure = editor.image() ? kRenderFailedMessage : reasonFrom(editor, noPicture);
        return outcome;
    }
    if (const auto error = writeFileAtomically(outputPath, *png))
        outcome.failure = saveFailedMessage(*error);
    return outcome;
}

} // namespace cropling
