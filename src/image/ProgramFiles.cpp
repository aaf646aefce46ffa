#include "ProgramFiles.h"

#include <QFile>
#include <QFileInfo>

namespace cropling {

QByteArray programFile(const QString& name, const char* installed, const char* buildPath) {
    const QString program = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    const QString folder = QFileInfo(program).absolutePath();
    for (const QString& candidate : {folder + QLatin1Char('/') + name,
                                     folder + QStringLiteral("/../") + QLatin1String(installed) + QLatin1Char('/') + name}) {
        if (QFileInfo::exists(candidate))
            return QFile::encodeName(candidate);
    }
    return buildPath;
}

} // namespace cropling
