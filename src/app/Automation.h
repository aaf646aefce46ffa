#pragma once

// The scripted run: six environment variables open a picture, set the zoom and the pan, then save
// or copy the emoji and quit.

#include <QByteArray>
#include <QString>

#include <optional>

namespace cropling {

class ContentView;

struct AutomationEnvironment {
    std::optional<QByteArray> open;
    std::optional<QByteArray> save;
    std::optional<QByteArray> zoom;
    std::optional<QByteArray> offsetX;
    std::optional<QByteArray> offsetY;
    std::optional<QByteArray> copy;

    // Read once, as raw bytes, so a path that is not valid UTF-8 survives.
    static AutomationEnvironment fromProcess();
    // A run that ends by quitting: a picture to open and an output path.
    bool isBatch() const { return open && save; }
};

// The whole value as one C-locale strtod number (hex, infinity and not-a-number forms included),
// whatever the user's locale. Empty values, leading white space and anything left over are rejected.
std::optional<double> parseNumber(const QByteArray& text);

struct AutomationOutcome {
    bool batch = false;   // the run should now quit
    bool copied = false;  // the clipboard holds the emoji and must outlive the process
    std::optional<QString> failure; // why nothing was delivered, for one line on stderr
    int exitCode() const { return failure ? 1 : 0; }
};

AutomationOutcome runAutomation(ContentView& editor, const AutomationEnvironment& environment);

} // namespace cropling
