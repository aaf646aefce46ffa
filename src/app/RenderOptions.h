#pragma once

// What `cropling render` is asked to do, read from its arguments alone: nothing is opened, looked
// at or written here. What depends on the file system (whether -o names a folder) is decided when
// the render is planned.

#include "core/Effects.h"
#include "core/GifLimits.h"
#include "model/ExportJob.h"

#include <QByteArray>
#include <QList>
#include <QUrl>

#include <variant>

namespace cropling {

// A picture as named on the command line, worked out once: every line names it as it was given.
struct RenderInput {
    QByteArray argument; // as given: a path, or a file:// URL
    QUrl url;
    QByteArray path; // the local path it names, as bytes
    QString shown;   // the argument for display

    static RenderInput of(const QByteArray& argument);
};

struct RenderOptions {
    QList<RenderInput> inputs;
    QByteArray output; // as given after -o (empty: none)
    FramingRequest framing;
    int size = 0;
    GifLimits limits;
    EffectSettings effect;
    bool copy = false;
};

// The options, or the exit status when the arguments were answered without rendering: 0 after the
// help, 2 after a bad argument's line on stderr.
std::variant<RenderOptions, int> parseRenderOptions(int argc, char** argv);

} // namespace cropling
