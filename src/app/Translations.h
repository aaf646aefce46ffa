#pragma once

class QCoreApplication;

namespace cropling {

// Speaks the user's language where a translation is built in (German today), Qt's own dialogs
// included; English otherwise.
void installTranslations(QCoreApplication& app);

} // namespace cropling
