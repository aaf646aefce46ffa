#pragma once

// Where the program's own files are: its helpers and modules lie next to it when it runs from the
// build tree or a folder of its own, under its prefix when installed, and otherwise in the build
// tree it was made in.

#include <QByteArray>
#include <QString>

namespace cropling {

// `name` next to the program, then in `installed` (say "libexec/cropling") under the prefix the
// program lies in, then at `buildPath`.
QByteArray programFile(const QString& name, const char* installed, const char* buildPath);

} // namespace cropling
