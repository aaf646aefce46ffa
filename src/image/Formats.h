#pragma once

#include <QStringList>

namespace cropling {

// The picture types this program opens, as MIME types: what the file chooser offers and the
// README lists. A test opens a sample of each.
QStringList openableMimeTypes();

} // namespace cropling
